// Every open asks the driver for low latency. A pseudo-terminal refuses the
// request, as most non-FTDI drivers do; the open must not fail for that.
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

TEST(SerilinkLowLatency, RefusalIsNotAFailure)
{
    EcmSim sim({"--no-pace"});
    {
        // the line really refuses, so the open below goes through the refusal
        const int fd = open(sim.Device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        serial_struct ss{};
        EXPECT_NE(ioctl(fd, TIOCGSERIAL, &ss), 0);
        close(fd);
    }
    struct Release {
        ~Release() { scDone(); }
    } release;
    const int code = scErrCode();
    const std::string text = scErrText();
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0) << scErrText();
    EXPECT_EQ(scErrCode(), code);
    EXPECT_EQ(std::string(scErrText()), text);

    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    std::uint8_t req[8] = {0xE4, 0x57, 0x01, 0x00}; // another ID: echoed, not answered
    ASSERT_EQ(scWrite(req, static_cast<std::uint32_t>(scAddChkSum(req, 4))), 5);
    std::uint8_t back[8] = {};
    EXPECT_EQ(scRead(back, 5), 5);
    EXPECT_EQ(std::memcmp(back, req, 5), 0);
}
