#include "tools/ecmsim/Options.h"

#include "app/CliCommon.h"

#include <cstdlib>

namespace {

// The ECM's ID: hexadecimal, with or without 0x.
CLI::Validator HexByte()
{
    return CLI::Validator(
        [](std::string& input) -> std::string {
            char* end = nullptr;
            const long v = std::strtol(input.c_str(), &end, 16);
            if (end == input.c_str() || *end || v < 0 || v > 255) return "Value " + input + " is no hexadecimal byte";
            input = std::to_string(v);
            return {};
        },
        "", "HEX");
}

CLI::Validator ChatterKind()
{
    return CLI::Validator(
        [](std::string& input) -> std::string {
            Chatter::Kind kind;
            return Chatter::ParseKind(input, kind) ? "" : "Value " + input + " is none of vt, vs, lt1";
        },
        "", "KIND");
}

} // namespace

std::optional<int> ParseOptions(int argc, char** argv, Options& o)
{
    CLI::App app{"A simulated ECM answering ALDL requests at 8192 baud on a pseudo-terminal\n"
                 "(or on a device). It prints \"READY <path>\" on standard output once the\n"
                 "line is open, then runs until it is ended (SIGTERM, SIGINT) or hangs up.\n"
                 "\n"
                 "A request is ID, length 0x55 + n, n bytes, checksum. Every byte received is\n"
                 "echoed, as on the one-wire line. A request with a bad checksum, or for\n"
                 "another ID, gets no answer. Mode 1 is answered with ID, length, mode, the\n"
                 "engine data and a checksum; any other mode with ID, 0x56, mode, checksum.\n"
                 "The data layout is the one of examples/ecmsim.ald.",
                 "diduvuve-ecmsim"};
    CliSetup(app, "Usage: diduvuve-ecmsim [options]\n");
    app.add_flag("--quiet", o.quiet, "no log of requests on standard error");

    const std::string line = "Line";
    app.add_option("--com", o.com,
                   "create the serilink link COMN to the pseudo-terminal in\n"
                   "$XDG_CONFIG_HOME/serilink (default ~/.config/serilink);\n"
                   "it is removed again on exit")
        ->option_text("N")->check(CLI::Range(1L, 255L))->group(line);
    app.add_option("--device", o.device, "use this serial device instead of a pseudo-terminal")
        ->option_text("PATH")->group(line);
    app.add_option("--baud", o.baud, "pace the bytes at N baud, 10 bits a byte (8192)")
        ->option_text("N")->check(CLI::Range(1L, 4000000L))->group(line);
    app.add_flag_callback("--no-pace", [&o] { o.pace = false; }, "send at once, without pacing")->group(line);
    app.add_option("--reply-delay", o.replyDelayMs, "pause between the end of the echo and the reply (1)")
        ->option_text("MS")->check(CliRange(0, 10000))->group(line);

    const std::string answers = "Answers";
    // Through an int: a one-character value would otherwise be read as a character.
    app.add_option_function<int>("--id", [&o](int id) { o.id = static_cast<std::uint8_t>(id); }, "the ECM's ID (F4)")
        ->option_text("HEX")->transform(HexByte())->group(answers);
    app.add_option("--data-length", o.dataLength, "mode 1 data bytes, 0..126 (56, as VN-VS ECMs send)")
        ->option_text("N")->check(CLI::Range(0L, 126L))->group(answers);
    app.add_option("--seed", o.seed, "seed of the engine model (1); same seed, same data")
        ->option_text("N")->check(CLI::Range(0L, 0x7FFFFFFFL))->group(answers);
    app.add_option("--tick", o.tickMs, "model time that passes per mode 1 reply (80)")
        ->option_text("MS")->check(CliRange(0, 3600000))->group(answers);

    const std::string faults = "Faults (on every reply, or only on every K-th with --fault-every K)";
    app.add_flag("--no-echo", o.noEcho, "do not echo the request")->group(faults);
    app.add_option("--short-echo", o.shortEcho, "echo only the first N bytes of a request")
        ->option_text("N")->check(CLI::Range(0L, 1000L))->group(faults);
    app.add_flag("--wrong-echo", o.wrongEcho, "echo the last byte of a request inverted")->group(faults);
    app.add_flag("--drop", o.drop, "send no reply")->group(faults);
    app.add_option("--short", o.shortBody, "send only N bytes after the three header bytes")
        ->option_text("N")->check(CLI::Range(0L, 1000L))->group(faults);
    app.add_option("--length-byte", o.lengthByte, "send V (decimal, or 0x.. hex) as the length byte")
        ->option_text("V")->check(CLI::Range(0L, 255L))->group(faults);
    app.add_option("--garbage", o.garbage, "send N random bytes before the reply")
        ->option_text("N")->check(CLI::Range(0L, 100000L))->group(faults);
    app.add_option("--fault-every", o.faultEvery, "apply the faults above only to replies K, 2K, ... (1)")
        ->option_text("K")->check(CLI::Range(1L, 0x7FFFFFFFL))->group(faults);
    app.add_option("--hangup-after", o.hangupAfter,
                   "after N replies, wait until the reader has taken every\n"
                   "byte, then close the line and exit")
        ->option_text("N")->check(CLI::Range(1L, 0x7FFFFFFFL))->group(faults);

    const std::string mixed = "Mixed faults (instead of the fixed ones above; drawn from --seed)";
    app.add_option("--mix", o.mixPercent,
                   "give P percent of the requests one fault drawn at random:\n"
                   "no-echo, short-echo, wrong-echo, drop, short (part of\n"
                   "the body, one byte or more), length (a length byte outside\n"
                   "85..212) or garbage (1..20 bytes before the reply whose\n"
                   "second byte is no valid length)")
        ->option_text("P")->check(CLI::Range(0L, 100L))->group(mixed);
    app.add_option("--mix-hangup", o.mixHangup,
                   "also hang up, as --hangup-after does, after a reply with\n"
                   "a chance of 1 in N")
        ->option_text("N")->check(CLI::Range(1L, 0x7FFFFFFFL))->group(mixed);
    app.add_option("--record", o.record,
                   "append one line per answered request to FILE:\n"
                   "\"<reply number> <kind> <reply bytes in hex>\", kind being\n"
                   "good, the mixed fault, or \"fault\" for a fixed one; a\n"
                   "last line \"<n> hangup\" on a hang-up, and \"<n> stall <ms>\"\n"
                   "when the simulator did not run for over 30 ms (its\n"
                   "replies around then may have come too late)")
        ->option_text("FILE")->group(mixed);

    const std::string bus = "Bus";
    app.add_option_function<std::string>(
           "--chatter", [&o](const std::string& kind) { Chatter::ParseKind(kind, o.chatter); },
           "other modules talk on the line: vt (the body module's\n"
           "bursts with the heartbeat 08 55 A3, quieted by mode 8\n"
           "to F1), vs (the ECM's frames to the body module, quieted\n"
           "by its own mode 8), lt1 (the ECM's tester poll F0 56 ..\n"
           "and normal-mode frames, quieted by its own mode 8);\n"
           "mode 9 lets them talk again. A request that overlaps\n"
           "their frames on the line is lost and gets no answer")
        ->option_text("KIND")->check(ChatterKind())->group(bus);
    app.add_option("--quiet-ms", o.quietMs, "how long mode 8 keeps the bus quiet (3000)")
        ->option_text("MS")->check(CliRange(0, 3600000))->group(bus);

    return CliParse(app, argc, argv, [&o] {
        if (o.mixPercent >= 0 && (o.FixedFaults() || o.faultEvery != 1))
            throw CLI::ValidationError("--mix draws its own faults; it does not go with the fixed ones");
        if (o.mixHangup && o.mixPercent < 0) o.mixPercent = 0;
        if (o.com && !o.device.empty())
            throw CLI::ValidationError("--com links a pseudo-terminal; it does not go with --device");
    });
}
