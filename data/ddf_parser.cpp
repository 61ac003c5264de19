// The definition-file parser: top-level definitions, nested blocks and lists, with a nesting limit.
#include "data/ddf_parser.h"

#include "data/ddf_atom.h"
#include "data/ddf_tokenizer.h"

namespace tarkeep::data {
namespace {

class Parser {
public:
    Parser(std::string_view text, std::string_view path, std::vector<std::string>* warnings)
        : tokens_(tokenize_ddf(text)), path_(path), warnings_(warnings) {}

    std::vector<DdfDefinition> parse_file() {
        std::vector<DdfDefinition> definitions;
        while (pos_ < tokens_.size()) {
            const DdfToken& token = peek();
            if (token.is_p(';') || token.is_p(',')) {
                ++pos_;
                continue;
            }
            const DdfToken type = next();
            const DdfToken name = next();
            if (type.kind != DdfTokenKind::atom || !name.is_scalar()) {
                fail("bad definition header " + token_repr(type) + " " + token_repr(name));
            }
            DdfValue body = parse_block();
            definitions.push_back({std::string(type.text), std::string(name.text), std::move(body)});
        }
        return definitions;
    }

private:
    const DdfToken& peek() const { return pos_ < tokens_.size() ? tokens_[pos_] : end_token_; }
    const DdfToken& next() {
        const DdfToken& token = peek();
        ++pos_;
        return token;
    }

    [[noreturn]] void fail(const std::string& what) const { throw DdfError(std::string(path_) + ": " + what); }

    void expect(char c) {
        const DdfToken& token = next();
        if (!token.is_p(c)) fail(std::string("expected '") + c + "', got " + token_repr(token));
    }

    // Counts one level of block or list nesting for the lifetime of the guard.
    class DepthGuard {
    public:
        explicit DepthGuard(Parser& parser) : parser_(parser) {
            if (++parser_.depth_ > kMaxDdfNesting) {
                parser_.fail("blocks and lists nested deeper than " + std::to_string(kMaxDdfNesting) + " levels");
            }
        }
        ~DepthGuard() { --parser_.depth_; }
        DepthGuard(const DepthGuard&) = delete;
        DepthGuard& operator=(const DepthGuard&) = delete;

    private:
        Parser& parser_;
    };

    DdfValue parse_block() {
        DepthGuard guard(*this);
        expect('{');
        DdfValue block = DdfValue::block();
        for (;;) {
            const DdfToken& token = peek();
            if (token.is_p('}')) {
                ++pos_;
                return block;
            }
            if (token.is_p(';') || token.is_p(',')) {
                ++pos_;
                continue;
            }
            if (token.kind == DdfTokenKind::none) {
                if (warnings_) warnings_->push_back(std::string(path_) + ": unclosed block at end of file");
                return block;
            }
            ++pos_;
            const std::string_view key = token.text;
            add_entry(block, key, parse_entry_value(key));
        }
    }

    DdfValue parse_entry_value(std::string_view key) {
        const DdfToken& token = peek();
        if (token.is_p('=')) {
            ++pos_;
            return parse_value();
        }
        if (token.is_p('{')) return parse_block();
        if (token.is_p('[')) return parse_list();
        if (token.is_scalar()) return scalar(next());
        fail("after key '" + std::string(key) + "' expected =, { or [, got " + token_repr(token));
    }

    DdfValue parse_value() {
        const DdfToken& token = peek();
        if (token.is_p('{')) return parse_block();
        if (token.is_p('[')) return parse_list();
        if (token.is_p('(')) return parse_flag_group();
        if (token.is_p('}') || token.is_p(']') || token.is_p(';')) return DdfValue::none();
        ++pos_;
        if (token.is_scalar()) return scalar(token);
        fail("unexpected " + token_repr(token) + " as value");
    }

    DdfValue parse_list() {
        DepthGuard guard(*this);
        expect('[');
        DdfValue list = DdfValue::list();
        for (;;) {
            const DdfToken& token = peek();
            if (token.is_p(']')) {
                ++pos_;
                return list;
            }
            if (token.is_p(';') || token.is_p(',')) {
                ++pos_;
            } else if (token.is_p('{')) {
                list.items.push_back(parse_block());
            } else if (token.is_scalar()) {
                ++pos_;
                if (peek().is_p('{')) {
                    DdfValue typed = parse_block();
                    typed.set("_type", DdfValue::string(std::string(token.text)));
                    list.items.push_back(std::move(typed));
                } else {
                    list.items.push_back(scalar(token));
                }
            } else if (token.is_p('(')) {
                list.items.push_back(parse_flag_group());
            } else {
                fail("unexpected " + token_repr(token) + " in list");
            }
        }
    }

    DdfValue parse_flag_group() {
        expect('(');
        DdfValue names = DdfValue::list();
        for (;;) {
            const DdfToken& token = next();
            if (token.is_p(')')) break;
            if (token.is_scalar()) {
                names.items.push_back(DdfValue::string(std::string(token.text)));
            } else if (!token.is_p('|')) {
                fail("unexpected " + token_repr(token) + " in flag group");
            }
        }
        DdfValue group = DdfValue::block();
        group.entries.emplace_back("_flags", std::move(names));
        return group;
    }

    static DdfValue scalar(const DdfToken& token) {
        if (token.kind == DdfTokenKind::string) return DdfValue::string(std::string(token.text));
        return convert_atom(token.text);
    }

    // A repeated key collects its values in a list, marked by "__multi__" + key so that a
    // list written in the file is not mistaken for an earlier collection.
    static void add_entry(DdfValue& block, std::string_view key, DdfValue value) {
        DdfValue* existing = block.find(key);
        if (!existing) {
            block.entries.emplace_back(std::string(key), std::move(value));
            return;
        }
        const std::string marker = "__multi__" + std::string(key);
        const DdfValue* mark = block.find(marker);
        if (existing->is(DdfKind::list) && mark && mark->truthy()) {
            existing->items.push_back(std::move(value));
            return;
        }
        DdfValue collected = DdfValue::list();
        collected.items.push_back(std::move(*existing));
        collected.items.push_back(std::move(value));
        *existing = std::move(collected);
        block.set(marker, DdfValue::boolean(true));
    }

    std::vector<DdfToken> tokens_;
    std::string_view path_;
    std::vector<std::string>* warnings_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
    const DdfToken end_token_{};
};

}  // namespace

std::vector<DdfDefinition> parse_ddf(std::string_view text, std::string_view path, std::vector<std::string>* warnings) {
    return Parser(text, path, warnings).parse_file();
}

}  // namespace tarkeep::data
