#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zqb {

inline constexpr std::array<std::uint8_t, 4> FrameMagic = {0x5A, 0x35, 0x77, 0xA5};

inline constexpr std::size_t CommandFrameSize = 1024;
inline constexpr std::size_t ReplyBufferSize = 4096;
inline constexpr std::size_t ReplyClearedBytes = 250;          // cleared before every exchange
inline constexpr std::size_t TransferBufferSize = 16u * 1024u * 1024u;

using CommandFrame = std::array<std::uint8_t, CommandFrameSize>;
using ReplyBuffer = std::array<std::uint8_t, ReplyBufferSize>;

// Offsets shared by every frame and every reply.
inline constexpr std::size_t CodeOffset = 4;
inline constexpr std::size_t ParamOffset = 5;
inline constexpr std::size_t StatusOffset = 5;

// Big-endian stores and loads; frames and module files carry every wide number this way.
inline void PutU16(std::uint8_t* at, std::uint32_t v)
{
    at[0] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    at[1] = static_cast<std::uint8_t>(v & 0xFF);
}

inline void PutU32(std::uint8_t* at, std::uint32_t v)
{
    at[0] = static_cast<std::uint8_t>(v >> 24);
    at[1] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
    at[2] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    at[3] = static_cast<std::uint8_t>(v & 0xFF);
}

inline std::uint16_t GetU16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

inline std::uint32_t GetU32(const std::uint8_t* at)
{
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) |
           std::uint32_t{at[3]};
}

}  // namespace zqb
