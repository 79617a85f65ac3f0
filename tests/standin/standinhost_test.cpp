#include "testing/hostfixture.h"

namespace {

using StandinHostTest = testing_support::HostFixture;

// The fixture's fault check, which every test through the host relies on,
// sees a release the host cannot match.
TEST_F(StandinHostTest, ReleaseOfAnUnknownMessageIsAFault)
{
    void* bogus = &host;
    host.commands()->releaseMessage(&bogus);
    EXPECT_EQ(host.faults().size(), 1u);
    host.clearFaults();
}

} // namespace
