#include "link/LinkStats.h"

#include <gtest/gtest.h>

TEST(LinkStats, ReplyChecksum)
{
    // F4 57 01 | 00 B4: one data byte and the checksum.
    const std::uint8_t header[3] = {0xF4, 0x57, 0x01};
    std::uint8_t body[2] = {0x00, 0xB4};
    EXPECT_TRUE(ReplyChecksumOk(header, body, 2));
    body[0] = 0x10; // one byte changed
    EXPECT_FALSE(ReplyChecksumOk(header, body, 2));
}

TEST(LinkStats, CountsByKindAndStartAgain)
{
    TLinkStats s;
    s.Start(1000);
    for (int r : {56, 0, -1, -2, -2, -3, -4, -5, -5, -5}) s.Frame(r, true, 1100);
    s.BadChecksum(1234);
    EXPECT_EQ(s.Good(), 2);
    EXPECT_EQ(s.Failed(), 8);
    EXPECT_EQ(s.FailedOf(-1), 1);
    EXPECT_EQ(s.FailedOf(-2), 2);
    EXPECT_EQ(s.FailedOf(-5), 3);
    EXPECT_EQ(s.FailedOf(7), 0);
    EXPECT_EQ(s.BadChecksums(), 1);
    EXPECT_EQ(s.LastBadStamp(), 1234);
    s.Start(5000);
    EXPECT_EQ(s.Good() + s.Failed() + s.BadChecksums(), 0);
}

TEST(LinkStats, RateOverTheLastTwoSeconds)
{
    TLinkStats s;
    s.Start(0);
    s.Frame(60, false, 50);
    EXPECT_NEAR(s.Rate(100), 10.0, 0.1); // the first tenth of a second
    s.Start(0);
    for (int t = 0; t < 4000; t += 100) s.Frame(60, false, t); // 10 per second
    EXPECT_NEAR(s.Rate(3999), 10.0, 0.6);
    EXPECT_NEAR(s.Rate(5000), 5.0, 0.6);  // one second quiet
    EXPECT_EQ(s.Rate(6500), 0.0);         // long quiet: nothing left
    s.Frame(60, false, 100000);
    EXPECT_GT(s.Rate(100000), 0.0);
}

TEST(LinkStats, HintsForTheFirstMinute)
{
    struct Case {
        int result;
        bool echo;
        LinkHint hint;
    } cases[] = {{-3, true, LinkHint::TryWithoutEcho},
                 {-2, false, LinkHint::TryWithEcho},
                 {-5, false, LinkHint::TryWithEcho},
                 {-4, true, LinkHint::CheckPort},
                 {-4, false, LinkHint::CheckPort},
                 {-3, false, LinkHint::None},
                 {-5, true, LinkHint::None},
                 {-1, true, LinkHint::None}};
    for (const Case& c : cases) {
        TLinkStats s;
        s.Start(0);
        s.Frame(c.result, c.echo, 10);
        s.Frame(c.result, c.echo, 20);
        EXPECT_EQ(s.Hint(), LinkHint::None) << "not after two";
        s.Frame(c.result, c.echo, 30);
        EXPECT_EQ(s.Hint(), c.hint) << c.result << " echo " << c.echo;
        s.Frame(60, c.echo, 40);
        EXPECT_EQ(s.Hint(), LinkHint::None) << "a good frame clears it";
        for (int i = 0; i < 5; ++i) s.Frame(c.result, c.echo, 50);
        EXPECT_EQ(s.Hint(), LinkHint::None) << "shown once a run";
    }
    TLinkStats late;
    late.Start(0);
    for (int i = 0; i < 5; ++i) late.Frame(-4, true, 61000);
    EXPECT_EQ(late.Hint(), LinkHint::None);
    TLinkStats mixed;
    mixed.Start(0);
    for (int r : {-4, -3, -4, -4, -4}) mixed.Frame(r, true, 10);
    EXPECT_EQ(mixed.Hint(), LinkHint::None);
    EXPECT_NE(std::string(LinkHintText(LinkHint::CheckPort)).find("COM port"), std::string::npos);
}
