// Mode 1 data stream, as the exchange hands it on: the header (ID, length,
// mode) is dropped, so "Start" byte 1 is the first data byte. Default 56
// data bytes, then the checksum as byte 57.
//
//  Start  Bits  Word             Raw -> value
//  1-2    16    PROM ID          raw (3127)             (Start "2", 16 bits)
//  3      8     Coolant          raw * 0.75 - 40 deg C
//  4-5    16    Engine speed     raw * 0.25 rpm         (Start "5", 16 bits)
//  6      8     Throttle         raw * 100/255 %
//  7      8     MAP              raw * 0.4 + 10 kPa
//  8      8     O2 sensor        raw * 0.00444 V
//  9      8     Battery          raw * 0.1 V
//  10     8     Spark advance    raw * 0.25 deg
//  11     8     Flags            bit 0 closed loop, 1 fan on, 2 idle,
//                                3 wide open throttle, 4 A/C request,
//                                5 check engine lamp, 6-7 always 0
//  12     8     Intake air       raw * 0.75 - 40 deg C
//  13     8     Vehicle speed    raw km/h
//  14-15  16    Injector pulse   raw * 0.01 ms          (Start "15", 16 bits)
//  16     8     Idle air control raw steps
//  17     8     Block learn      raw (128 = no correction)
//  18     8     Integrator       raw (128 = no correction)
//  19     8     Frame counter    raw, +1 per reply, wraps at 256
//  20-56        reserved, 0
#include "tools/ecmsim/EngineModel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

// A small generator of our own so that a seed gives the same engine
// on every platform and library.
std::uint32_t Mix(std::uint32_t& s)
{
    s += 0x9E3779B9u;
    std::uint32_t z = s;
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    return z ^ (z >> 16);
}

double Unit(std::uint32_t& s)
{
    return Mix(s) / 4294967296.0;
}

std::uint8_t Byte(double raw)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(raw), 0L, 255L));
}

std::uint16_t Word(double raw)
{
    return static_cast<std::uint16_t>(std::clamp(std::lround(raw), 0L, 65535L));
}

double Approach(double value, double target, double tau, double dt)
{
    return target + (value - target) * std::exp(-dt / tau);
}

} // namespace

EngineModel::EngineModel(std::uint32_t seed)
{
    std::uint32_t s = seed;
    for (int i = 0; i < 6; ++i) {
        freq_[i] = 0.02 + 0.25 * Unit(s) / (1 + i % 3);
        phase_[i] = 2 * Pi * Unit(s);
    }
    state_.coolant = 15 + 10 * Unit(s);
    state_.iat = state_.coolant;
    state_.rpm = 800;
    state_.battery = 12.6;
    Advance(0);
}

double EngineModel::Wave(int i, double t) const
{
    return std::sin(2 * Pi * freq_[i] * t + phase_[i]);
}

void EngineModel::Advance(double dt)
{
    time_ += dt;
    const double t = time_;
    EngineState& e = state_;

    // the driver: throttle as a sum of slow waves, idling when they cancel
    double tps = 18 + 30 * Wave(0, t) + 15 * Wave(1, t) + 8 * Wave(2, t);
    e.tps = std::clamp(tps, 0.0, 100.0);
    e.idle = e.tps < 2;
    e.wot = e.tps > 85;

    const double rpmTarget = 800 + 52 * e.tps;
    e.rpm = dt > 0 ? Approach(e.rpm, rpmTarget, 0.6, dt) : rpmTarget;
    e.map = std::clamp(28 + 0.7 * e.tps + 0.002 * (e.rpm - 800), 20.0, 105.0);
    e.speed = std::clamp((e.rpm - 900) / 35.0, 0.0, 180.0) * (0.6 + 0.4 * (Wave(3, t) + 1) / 2);

    // warm-up towards the thermostat, the fan cutting in and out above it
    const double warm = 92 + 6 * (Wave(4, t) + 1) / 2 * (e.tps / 100);
    e.coolant = dt > 0 ? Approach(e.coolant, warm, 90, dt) : e.coolant;
    if (e.coolant > 96)
        e.fan = true;
    else if (e.coolant < 92)
        e.fan = false;
    e.iat = dt > 0 ? Approach(e.iat, 30 + 10 * (1 - e.speed / 180), 60, dt) : e.iat;

    e.closedLoop = e.coolant > 60 && !e.wot;
    if (e.closedLoop)
        e.o2 = 0.45 + 0.38 * std::sin(2 * Pi * 1.3 * t);
    else
        e.o2 = e.wot ? 0.85 : 0.3;
    e.integrator = e.closedLoop ? 128 + 12 * std::sin(2 * Pi * 1.3 * t - 0.8) : 128;
    e.blm = 128 + 6 * Wave(5, t);

    e.battery = 12.4 + 1.7 * std::clamp((e.rpm - 600) / 700, 0.0, 1.0) + 0.05 * Wave(2, 7 * t);
    e.spark = std::clamp(8 + e.rpm / 220 - (e.map - 30) / 6, 0.0, 45.0);
    e.ipw = 1.2 + e.map * 0.045 * (e.closedLoop ? 1.0 : 1.15);
    e.iac = e.idle ? 30 + 10 * (1 - std::min(e.coolant, 80.0) / 80) : 10;
    e.acRequest = Wave(3, t) > 0.7;
    e.checkEngine = false;
}

std::vector<std::uint8_t> EngineModel::Data(int length) const
{
    const EngineState& e = state_;
    std::vector<std::uint8_t> d(56, 0);
    const std::uint16_t prom = 3127;
    d[0] = prom >> 8;
    d[1] = prom & 0xFF;
    d[2] = Byte((e.coolant + 40) / 0.75);
    const std::uint16_t rpm = Word(e.rpm * 4);
    d[3] = rpm >> 8;
    d[4] = rpm & 0xFF;
    d[5] = Byte(e.tps * 255 / 100);
    d[6] = Byte((e.map - 10) / 0.4);
    d[7] = Byte(e.o2 / 0.00444);
    d[8] = Byte(e.battery / 0.1);
    d[9] = Byte(e.spark / 0.25);
    d[10] = static_cast<std::uint8_t>((e.closedLoop ? 1 : 0) | (e.fan ? 2 : 0) | (e.idle ? 4 : 0)
                                      | (e.wot ? 8 : 0) | (e.acRequest ? 16 : 0)
                                      | (e.checkEngine ? 32 : 0));
    d[11] = Byte((e.iat + 40) / 0.75);
    d[12] = Byte(e.speed);
    const std::uint16_t ipw = Word(e.ipw / 0.01);
    d[13] = ipw >> 8;
    d[14] = ipw & 0xFF;
    d[15] = Byte(e.iac);
    d[16] = Byte(e.blm);
    d[17] = Byte(e.integrator);
    d[18] = counter_;
    d.resize(static_cast<std::size_t>(std::max(length, 0)), 0);
    return d;
}
