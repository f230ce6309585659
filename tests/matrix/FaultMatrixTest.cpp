// Every sender of the console against every way the module can misbehave. After each cell:
// nothing is left busy, a failure is told and never followed by a "done" text or a completion
// box, a file the module did not take whole is not stored, and the console links to a good
// module again.
#include <gtest/gtest.h>

#include "support/ConsoleDriver.h"

namespace zqb::test {
namespace {

TEST(FaultMatrix, EverySenderAgainstEveryFault)
{
    ConsoleDriver console;
    int cells = 0;
    for (const Fault& fault : console.faults) {
        for (const Sender& sender : console.senders) {
            SCOPED_TRACE(std::string(sender.name) + " / " + fault.name);
            ASSERT_TRUE(console.FreshModuleAndLink()) << "the next good command works";
            const Cell cell = console.Run(sender, &fault);
            EXPECT_EQ(BrokenInvariants(sender, &fault, cell), QStringList{}) << cell.told.join(" | ").toStdString();
            ++cells;
        }
    }
    ASSERT_TRUE(console.FreshModuleAndLink());
    EXPECT_EQ(cells, 19 * 13);
}

}  // namespace
}  // namespace zqb::test
