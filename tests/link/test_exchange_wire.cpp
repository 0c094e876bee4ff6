// What the exchange puts on the line, read from a bare pseudo-terminal.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "link/FrameSource.h"
#include "serilink/serilink.h"
#include "tests/serilink/PortFixtures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Wire {
public:
    Wire()
    {
        cfg_.Link(2, line_.Slave());
        if (scInit(2, "8192,n,8,1") != 0 || scTimeOut(20, 10, 50) != 0)
            ADD_FAILURE() << "port: " << scErrText();
    }
    ~Wire() { scDone(); }
    // Sends the request with nobody answering; the bytes that went out.
    std::string Sent(const std::string& request)
    {
        FrameBuffer f{};
        EXPECT_EQ(AldlExchange(request, false, f.data(), FrameLast), AldlNoHeader);
        return line_.Drain();
    }
    RawLine line_;

private:
    TempConfig cfg_;
};

} // namespace

TEST(AldlExchangeWire, RequestTextsBecomeFrames)
{
    Wire w;
    const std::string f4("\xF4\x57\x01\x00\xB4", 5);
    EXPECT_EQ(w.Sent("F4 57 01 00"), f4);
    EXPECT_EQ(w.Sent("F4,57,01,00"), f4);
    EXPECT_EQ(w.Sent("F45"), std::string("\xF4\x0C", 2));
    EXPECT_EQ(w.Sent(""), std::string(1, '\0'));
    // as the raw page's field takes it, the same text is four one-byte requests
    FrameBuffer f{};
    EXPECT_EQ(ReadLiveFrame(SplitRequests("F4,57,01,00"), false, f, StampClockMs()).Count, AldlNoHeader);
    EXPECT_EQ(w.line_.Drain(), std::string("\xF4\x0C\x57\xA9\x01\xFF\x00\x00", 8));
}

TEST(AldlExchangeWire, LongRequestIsCutTo128Bytes)
{
    Wire w;
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "01 ";
    const std::string sent = w.Sent(text);
    ASSERT_EQ(sent.size(), 129u);
    EXPECT_EQ(sent.substr(0, 128), std::string(128, '\x01'));
    EXPECT_EQ(static_cast<unsigned char>(sent[128]), 0x80); // checksum of 128 ones
}

TEST(AldlExchangeWire, EchoOfTheRequestThenAHandMadeReply)
{
    Wire w;
    // echo, then a header announcing 5 body bytes of which 2 come
    w.line_.Send(std::string("\xF4\x57\x01\x00\xB4" "\xF4\x5A\x01" "\x11\x22", 10));
    FrameBuffer f{};
    f[128] = 0x77;
    EXPECT_EQ(AldlExchange("F4 57 01 00", true, f.data(), FrameLast), 2);
    EXPECT_EQ(f[0], 0x11);
    EXPECT_EQ(f[1], 0x22);
    EXPECT_EQ(f[2], 0x01); // header byte the body did not reach
    EXPECT_EQ(f[3], 0x3F);
    EXPECT_EQ(f[128], 0x77);
}

TEST(AldlExchangeWire, ShortReplyBufferIsARangeError)
{
    Wire w;
    std::uint8_t small[64] = {};
    EXPECT_THROW(AldlExchange("F4 57 01 00", true, small, 63), ERangeError);
    EXPECT_EQ(w.line_.Drain(), ""); // nothing was sent
}
