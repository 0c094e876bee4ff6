#pragma once
// A dialog seam for tests: answers come from a script queued beforehand,
// and every question asked is recorded. An unscripted question is refused
// (cancel / No) and recorded as unexpected, so a broken test fails instead
// of hanging.
#include "definitions/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedDialogs : public TLxDialogs {
public:
    struct Asked {
        std::string what; // "open", "save", "message", "color"
        std::string text; // filter or message text
        std::string caption;
        MsgButtons buttons = MsgButtons::Ok;
    };

    ScriptedDialogs() { previous_ = SetDialogs(this); }
    ~ScriptedDialogs() override { SetDialogs(previous_); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Queue answers. An empty optional means "cancel".
    void QueueFile(std::optional<std::string> name) { files_.push_back(std::move(name)); }
    void QueueAnswer(MsgAnswer a) { answers_.push_back(a); }
    void QueueColor(std::optional<std::uint32_t> c) { colors_.push_back(c); }
    // Answers a form: each function gets the fields shown and returns the values (or cancel).
    using FieldsAnswer = std::optional<std::vector<std::string>> (*)(const std::vector<std::pair<std::string, std::string>>&);
    void QueueFields(FieldsAnswer f) { fields_.push_back(f); }
    std::optional<std::vector<std::string>> EditFields(const std::string& caption,
        const std::vector<std::pair<std::string, std::string>>& fields) override
    {
        asked.push_back({"fields", "", caption, MsgButtons::Ok});
        if (fields_.empty()) { unexpected.push_back("fields: " + caption); return {}; }
        FieldsAnswer f = fields_.front();
        fields_.pop_front();
        return f(fields);
    }

    std::optional<std::string> OpenFileName(const std::string& filter, const std::string& ext) override
    {
        return File("open", filter, ext);
    }
    std::optional<std::string> SaveFileName(const std::string& filter, const std::string& ext) override
    {
        return File("save", filter, ext);
    }
    MsgAnswer Message(const std::string& text, const std::string& caption, MsgButtons b, MsgKind) override
    {
        asked.push_back({"message", text, caption, b});
        if (b == MsgButtons::Ok) {
            if (!answers_.empty() && answers_.front() == MsgAnswer::Ok) answers_.pop_front();
            return MsgAnswer::Ok; // plain messages need no script
        }
        if (answers_.empty()) {
            unexpected.push_back("message: " + text);
            return b == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
        }
        MsgAnswer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override
    {
        asked.push_back({"color", "", "", MsgButtons::Ok});
        if (colors_.empty()) { unexpected.push_back("color"); return {}; }
        auto c = colors_.front();
        colors_.pop_front();
        return c;
    }

    // Texts of all message boxes shown, in order.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> m;
        for (const auto& a : asked)
            if (a.what == "message") m.push_back(a.text);
        return m;
    }
    bool ScriptUsedUp() const { return files_.empty() && answers_.empty() && colors_.empty() && fields_.empty(); }

    std::vector<Asked> asked;
    std::vector<std::string> unexpected;

private:
    std::optional<std::string> File(const char* what, const std::string& filter, const std::string& ext)
    {
        asked.push_back({what, filter, ext, MsgButtons::Ok});
        if (files_.empty()) { unexpected.push_back(std::string(what) + ": " + filter); return {}; }
        auto f = files_.front();
        files_.pop_front();
        return f;
    }

    std::deque<std::optional<std::string>> files_;
    std::deque<MsgAnswer> answers_;
    std::deque<std::optional<std::uint32_t>> colors_;
    std::deque<FieldsAnswer> fields_;
    TLxDialogs* previous_ = nullptr;
};
