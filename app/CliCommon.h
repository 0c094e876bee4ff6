#pragma once
// What every command-line program shares, so they read alike: the --help
// layout, the wording of a usage error, exit status 2 for bad usage, and
// --version. No Qt.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#ifndef DIDUVUVE_VERSION
#define DIDUVUVE_VERSION "0"
#endif

// Usage lines first, then what the program does, then the options.
class TCliFormatter : public CLI::Formatter {
public:
    // `usage`, when given, replaces the generated usage line (for a program
    // with more than one form); it starts with "Usage: " and ends with a
    // line end.
    explicit TCliFormatter(std::string usage) : usage_(std::move(usage)) { column_width(22); }

    std::string make_usage(const CLI::App* app, std::string name) const override
    {
        return usage_.empty() ? CLI::Formatter::make_usage(app, std::move(name)) : usage_;
    }

    // An option's value only: which options need or exclude others is for
    // the usage lines and the error message to say.
    std::string make_option_opts(const CLI::Option* opt) const override
    {
        if (!opt->get_option_text().empty()) return " " + opt->get_option_text();
        if (opt->get_type_size() != 0 && !opt->get_type_name().empty()) return " " + get_label(opt->get_type_name());
        return {};
    }

    // The option groups, set apart by one blank line, not two.
    std::string Groups(const CLI::App* app) const
    {
        std::string out;
        for (const std::string& group : app->get_groups()) {
            const auto opts = app->get_options(
                [&group](const CLI::Option* opt) { return opt->get_group() == group && opt->nonpositional(); });
            if (!group.empty() && !opts.empty()) out += make_group(group, false, opts);
        }
        return out;
    }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override
    {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::ostringstream out;
        out << make_usage(app, std::move(name));
        const std::string what = app->get_description();
        if (!what.empty()) out << '\n' << what << '\n';
        out << make_positionals(app) << Groups(app);
        const std::string footer = make_footer(app);
        if (!footer.empty()) out << '\n' << footer;
        return out.str();
    }

private:
    std::string usage_;
};

// "program: problem", the usage lines, and where to read more.
inline std::string CliFailureText(const CLI::App& app, const std::string& problem)
{
    const auto format = std::dynamic_pointer_cast<CLI::Formatter>(app.get_formatter());
    return app.get_name() + ": " + problem + "\n" + (format ? format->make_usage(&app, app.get_name()) : "") +
           "Run with --help for more information.\n";
}

// A check that a number lies in [lo, hi], for values with a fraction:
// unlike CLI::Range it turns away "nan", and it words the bounds as given.
inline CLI::Validator CliRange(double lo, double hi)
{
    auto text = [](double v) {
        std::ostringstream out;
        out << v;
        return out.str();
    };
    const std::string bounds = text(lo) + " to " + text(hi);
    return CLI::Validator(
        [lo, hi, bounds](std::string& input) -> std::string {
            double v = 0;
            if (CLI::detail::lexical_cast(input, v) && v >= lo && v <= hi) return {};
            return "Value " + input + " not in range " + bounds;
        },
        "", "RANGE");
}

// Gives `app` (named as the program) the shared look, help and version
// flags. Called before any option is added.
inline void CliSetup(CLI::App& app, const std::string& usage = {})
{
    app.formatter(std::make_shared<TCliFormatter>(usage));
    // An option given twice: the last one counts, as in most programs.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", app.get_name() + " " + DIDUVUVE_VERSION, "print the version and exit");
    app.failure_message([](const CLI::App* a, const CLI::Error& e) { return CliFailureText(*a, e.what()); });
}

// A usage problem found after parsing (a check CLI11 cannot make itself),
// told in the same words as one it found. Returns the exit status, 2.
inline int CliBadUsage(const CLI::App& app, const std::string& problem)
{
    std::fputs(CliFailureText(app, problem).c_str(), stderr);
    return 2;
}

// Parses the command line, then runs `check` (which throws a CLI::ParseError
// such as CLI::ValidationError for bad usage). Nothing when the program goes
// on; otherwise its exit status: 0 after --help or --version, 2 for bad usage.
inline std::optional<int> CliParse(CLI::App& app, int argc, char** argv, const std::function<void()>& check = {})
{
    try {
        app.parse(argc, argv);
        if (check) check();
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    return std::nullopt;
}
