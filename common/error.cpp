#include "common/error.h"

#include <cstdio>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace Common {

struct Error::Field {
    std::string name;
    bool is_integer = false;
    std::int64_t integer = 0;
    std::string text;
};

struct Error::Record {
    std::vector<Field> fields;
    std::shared_ptr<const Record> next;
    std::string source_file;
    std::string message;
    std::uint32_t kind = 0;
    std::uint32_t code = kNoCode;
    unsigned source_line = 0;
};

namespace {

const std::string& EmptyText() {
    static const std::string empty;
    return empty;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Log lines are single lines: multi-line messages (system texts, nested
// reports) are folded into one, dropping indentation and blank lines.
void AppendFlattened(std::string& out, std::string_view message) {
    bool first_kept = true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t feed = message.find('\n', start);
        const bool last = feed == std::string_view::npos;
        std::string_view piece = message.substr(start, last ? std::string_view::npos : feed - start);

        std::size_t begin = 0;
        while (begin < piece.size() && IsBlank(piece[begin])) {
            ++begin;
        }
        piece.remove_prefix(begin);
        if (!last) {
            std::size_t end = piece.size();
            while (end > 0 && IsBlank(piece[end - 1])) {
                --end;
            }
            piece = piece.substr(0, end);
        }
        if (!piece.empty()) {
            if (!first_kept) {
                out += ' ';
            }
            out += piece;
            first_kept = false;
        }
        if (last) {
            return;
        }
        start = feed + 1;
    }
}

}  // namespace

Error::Error(std::string message, const char* source_file, unsigned source_line)
    : Error(WithCode(0, kNoCode, std::move(message), source_file, source_line)) {}

Error Error::FromErrno(int code, const char* source_file, unsigned source_line) {
    // generic_category gives the strerror text without strerror's shared buffer.
    return WithCode(kKindErrno, static_cast<std::uint32_t>(code), std::generic_category().message(code),
                    source_file, source_line);
}

Error Error::WithCode(std::uint32_t kind, std::uint32_t code, std::string message, const char* source_file,
                      unsigned source_line) {
    auto record = std::make_shared<Record>();
    record->source_file = source_file != nullptr ? source_file : "";
    record->message = std::move(message);
    record->kind = kind;
    record->code = code;
    record->source_line = source_line;
    return Error(std::shared_ptr<const Record>(std::move(record)));
}

const std::string& Error::Message() const noexcept {
    return record_ ? record_->message : EmptyText();
}

std::uint32_t Error::Kind() const noexcept {
    return record_ ? record_->kind : 0;
}

std::uint32_t Error::Code() const noexcept {
    return record_ ? record_->code : kNoCode;
}

const std::string& Error::SourceFile() const noexcept {
    return record_ ? record_->source_file : EmptyText();
}

unsigned Error::SourceLine() const noexcept {
    return record_ ? record_->source_line : 0;
}

Error Error::Next() const {
    return record_ ? Error(record_->next) : Error();
}

Error Error::Then(const Error& next) const {
    if (!record_) {
        return next;
    }
    if (!next.record_) {
        return *this;
    }
    // Records are immutable and shared, so this chain is copied and its copy
    // ends in next's chain, which is shared as it is.
    std::vector<const Record*> own;
    for (const Record* r = record_.get(); r != nullptr; r = r->next.get()) {
        own.push_back(r);
    }
    std::shared_ptr<const Record> tail = next.record_;
    for (auto it = own.rbegin(); it != own.rend(); ++it) {
        auto copy = std::make_shared<Record>(**it);
        copy->next = std::move(tail);
        tail = std::move(copy);
    }
    return Error(std::move(tail));
}

Error Error::WithField(std::string name, std::int64_t value) const {
    return WithField(Field{std::move(name), true, value, {}});
}

Error Error::WithField(std::string name, std::string text) const {
    return WithField(Field{std::move(name), false, 0, std::move(text)});
}

Error Error::WithField(Field field) const {
    if (!record_) {
        return *this;
    }
    // Other copies may share the record, so the field goes on a copy.
    auto copy = std::make_shared<Record>(*record_);
    for (Field& existing : copy->fields) {
        if (existing.name == field.name) {
            existing = std::move(field);
            return Error(std::shared_ptr<const Record>(std::move(copy)));
        }
    }
    copy->fields.push_back(std::move(field));
    return Error(std::shared_ptr<const Record>(std::move(copy)));
}

const Error::Field* Error::FindField(std::string_view name) const noexcept {
    if (!record_) {
        return nullptr;
    }
    for (const Field& field : record_->fields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

std::optional<std::int64_t> Error::IntegerField(std::string_view name) const {
    const Field* field = FindField(name);
    if (field == nullptr || !field->is_integer) {
        return std::nullopt;
    }
    return field->integer;
}

std::optional<std::string> Error::TextField(std::string_view name) const {
    const Field* field = FindField(name);
    if (field == nullptr || field->is_integer) {
        return std::nullopt;
    }
    return field->text;
}

std::string Error::Text() const {
    if (!record_) {
        return "success";
    }
    std::string out;
    for (const Record* r = record_.get(); r != nullptr; r = r->next.get()) {
        if (r != record_.get()) {
            out += "; ";
        }
        if ((r->kind & kKindWindows) != 0) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08x: ", static_cast<unsigned>(r->code));
            out += code;
        } else if ((r->kind & kKindErrno) != 0) {
            out += "errno ";
            out += std::to_string(static_cast<std::int32_t>(r->code));
            out += ": ";
        }
        AppendFlattened(out, r->message);
    }
    return out;
}

}  // namespace Common
