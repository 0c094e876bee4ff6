#include "app/logger/Options.h"

#include "app/CliCommon.h"
#include "decode/Hex.h"

namespace {

// A port number or a count: decimal digits only, so "010" is ten.
CLI::Validator Decimal()
{
    return CLI::Validator(
        [](std::string& input) -> std::string {
            if (input.empty() || input.size() > 12 || input.find_first_not_of("0123456789") != std::string::npos)
                return "Value " + input + " is no whole number";
            input.erase(0, std::min(input.find_first_not_of('0'), input.size() - 1));
            return {};
        },
        "", "DECIMAL");
}

} // namespace

std::optional<int> ParseOptions(int argc, char** argv, LoggerOptions& o)
{
    CLI::App app{"Reads the ALDL stream with the definition's port, request, interval and\n"
                 "echo setting, and writes every good frame to a log named by the local\n"
                 "start time (YYYYMMDD-HHMMSS.alg), the form the analyser replays. A lost\n"
                 "link is waited for; SIGINT or SIGTERM ends the logger cleanly.",
                 "diduvuve-logger"};
    CliSetup(app, "Usage: diduvuve-logger [options] DEFINITION.ald\n");
    app.add_option("DEFINITION.ald", o.definition, "the definition to read with")->type_name("")->required();
    app.add_option("--com", o.com, "use serial port COMN instead of the definition's")
        ->option_text("N")->transform(Decimal())->check(CLI::Range(1, 255));
    app.add_option("--out", o.outDir, "write logs into DIR (default: the current directory)")
        ->option_text("DIR")
        ->check(CLI::Validator([](std::string& dir) { return dir.empty() ? "a folder is needed" : ""; }, "", "DIR"));
    app.add_option_function<std::string>(
           "--rotate",
           [&o](const std::string& text) {
               long double minutes = 0;
               TryFloatFromText(text, minutes);
               o.rotateMs = static_cast<std::int64_t>(minutes * 60000);
           },
           "start a new log every MIN minutes (stamps carry on;\n"
           "a fraction such as 0.5 is allowed)")
        ->option_text("MIN")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                // At least a second's worth.
                long double minutes = 0;
                if (TryFloatFromText(text, minutes) && minutes >= 1.0L / 60 && minutes <= 1e7L) return {};
                return "Value " + text + " is not minutes from 1/60 (a second) to 10000000";
            },
            "", "MIN"));
    app.add_option("--frames", o.frames, "stop after N good frames")
        ->option_text("N")->transform(Decimal())->check(CLI::Range(std::int64_t{1}, std::int64_t{1000000000000}));
    app.footer("Exit status: 0 done, 1 a file or the port can't be used, 2 bad usage.");
    return CliParse(app, argc, argv);
}
