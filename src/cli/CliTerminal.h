#pragma once

#include <optional>

#include <QJsonObject>
#include <QString>

namespace zqb::cli {

// Where the program talks: standard output for results, standard error for messages and the
// progress bar, standard input for a confirmation. The program uses the process's own streams;
// tests capture them.
class Terminal {
public:
    virtual ~Terminal() = default;
    virtual void WriteOut(const QByteArray& bytes) = 0;
    virtual void WriteErr(const QByteArray& bytes) = 0;
    virtual bool ErrIsTerminal() const = 0;
    virtual bool InIsTerminal() const = 0;
    // One line of standard input without its line end; nothing at its end.
    virtual std::optional<QString> ReadLine() = 0;
};

// Results as plain lines or as one compact JSON object per line, and messages on standard error.
// Text from the module or a file is only ever data here.
class Output {
public:
    Output(Terminal& terminal, bool json) : terminal_(terminal), json_(json) {}

    bool Json() const { return json_; }
    // One result: the plain text (one or more lines) or its JSON object.
    void Result(const QString& plain, const QJsonObject& object);
    // A message for people on standard error, "zqb: " first.
    void Message(const QString& text);
    // Text on standard error as it is (the progress bar, a question).
    void Raw(const QString& text);
    Terminal& GetTerminal() { return terminal_; }

private:
    Terminal& terminal_;
    bool json_;
};

}  // namespace zqb::cli
