#pragma once
// A small engine whose readings drift smoothly over model time and repeat
// exactly for the same seed.
#include <cstdint>
#include <vector>

struct EngineState {
    double rpm = 0;        // rev/min
    double coolant = 0;    // deg C
    double tps = 0;        // % throttle
    double map = 0;        // kPa
    double o2 = 0;         // V
    double battery = 0;    // V
    double spark = 0;      // deg advance
    double iat = 0;        // deg C
    double speed = 0;      // km/h
    double ipw = 0;        // ms injector pulse
    double iac = 0;        // idle air steps
    double blm = 128;      // block learn
    double integrator = 128;
    bool closedLoop = false;
    bool fan = false;
    bool idle = false;
    bool wot = false;
    bool acRequest = false;
    bool checkEngine = false;
};

class EngineModel {
public:
    explicit EngineModel(std::uint32_t seed);
    // Moves model time on by dt seconds.
    void Advance(double dt);
    const EngineState& State() const { return state_; }
    // The data bytes of a mode 1 reply (layout in EngineModel.cpp), padded
    // with zeros or cut to `length`.
    std::vector<std::uint8_t> Data(int length) const;
    std::uint8_t Counter() const { return counter_; }
    void NextFrame() { ++counter_; }

private:
    double Wave(int i, double t) const;

    double time_ = 0;
    double freq_[6];
    double phase_[6];
    EngineState state_;
    std::uint8_t counter_ = 0;
};
