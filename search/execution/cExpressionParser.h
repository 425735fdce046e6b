// The expression grammar shared by search expressions: a line of terms joined by operator words and
// parentheses, evaluated left to right into an operand type T that supplies the operator words, term
// evaluation and combination (cExpressionResult<T>).
//
//   expression := primary { operator primary }     every operator has the same precedence
//   primary    := term | "(" expression ")"        at most 10 nested parentheses
//   term       := a run of consecutive non-operator word tokens, joined by single blanks
//
// A token runs to the next white space, or up to a one-character operator word or parenthesis. The
// evaluation is bounded: the text is read once, parentheses nest at most 10 deep, and one operand
// beside the result exists at a time.
//
// A parser and its operands are used by one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "search/core/TextFolding.h"

// Parser messages by code.
enum : uint32_t {
    kExprOk = 0,
    kExprNothingEntered = 1,
    kExprOperatorExpected = 2,
    kExprExtraAtEnd = 3,
    kExprExtraRightParen = 4,
    kExprMissingRightParen = 5,
    kExprOperatorAtEnd = 6,
    kExprTooManyParens = 7,
    kExprUnexpectedToken = 8,
    kExprCanceled = 9,
    kExprOutOfMemory = 10,
    kExprUnknownPunctuation = 11,
    kExprInternal = 12,
};
const char* expressionMessage(uint32_t code);

// The operand interface the parser talks to.
template <typename T> class cExpressionResult {
public:
    virtual ~cExpressionResult() = default;
    virtual bool reset(const void* options) = 0;
    virtual bool finish() = 0;
    virtual bool evaluateTerm(const std::u16string& term) = 0;
    virtual bool applyOperator(const std::u16string& op, T& right) = 0;
    // 0..4 an operator word of the first level, 5 any other token.
    virtual int isOperatorWord(const std::u16string& token) const = 0;
    virtual uint32_t errorCode() const = 0;
    virtual void setError(uint32_t code, const std::string& message) = 0;
    virtual const std::string& errorMessageText() const = 0;
    virtual std::unique_ptr<T> makeOperand() const = 0;
};

template <typename T> class cExpressionParser {
public:
    static constexpr uint32_t kDepthLimit = 10;

    cExpressionParser(const std::u16string& text, const void* options) : m_text(text), m_options(options) { }

    // Evaluates the text into `result` (reset beforehand by the caller). The parser's code: 0 on
    // success; the result takes the code and its message when it has none of its own.
    uint32_t evaluate(T& result)
    {
        m_pos = 0;
        m_error = kExprOk;
        m_depth = 0;
        skipBlanks();
        if (m_pos >= m_text.size()) {
            m_error = kExprNothingEntered;
        } else if (expression(result)) {
            skipBlanks();
            if (m_pos < m_text.size())
                m_error = kExprExtraAtEnd;
            else if (!result.finish())
                m_error = kExprCanceled;
        }
        if (result.errorCode() == 0 && m_error != kExprOk)
            result.setError(m_error, expressionMessage(m_error));
        return result.errorCode() != 0 ? result.errorCode() : m_error;
    }

private:
    enum class Kind { End, Term, Operator, Open, Close };

    bool isOperatorChar(char16_t c) const
    {
        return c == u'&' || c == u'+' || c == u'^' || c == u'#' || c == u'~' || c == u'(' || c == u')';
    }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && TextFolding::isWhitespaceOrNewline(m_text[m_pos]))
            ++m_pos;
    }

    // The next token without consuming it.
    Kind peek(const T& probe, std::u16string& token, std::size_t& end)
    {
        skipBlanks();
        if (m_pos >= m_text.size()) {
            end = m_pos;
            token.clear();
            return Kind::End;
        }
        const char16_t c = m_text[m_pos];
        if (isOperatorChar(c)) {
            end = m_pos + 1;
            token.assign(1, c);
            if (c == u'(')
                return Kind::Open;
            if (c == u')')
                return Kind::Close;
            return Kind::Operator;
        }
        std::size_t e = m_pos;
        while (e < m_text.size() && !TextFolding::isWhitespaceOrNewline(m_text[e]) && !isOperatorChar(m_text[e]))
            ++e;
        end = e;
        token = m_text.substr(m_pos, e - m_pos);
        return probe.isOperatorWord(token) < 5 ? Kind::Operator : Kind::Term;
    }

    bool primary(T& into)
    {
        std::u16string token;
        std::size_t end = 0;
        const Kind kind = peek(into, token, end);
        switch (kind) {
        case Kind::End:
            m_error = kExprOperatorAtEnd;
            return false;
        case Kind::Operator:
            m_error = kExprOperatorExpected;
            return false;
        case Kind::Close:
            m_error = kExprExtraRightParen;
            return false;
        case Kind::Open: {
            if (m_depth >= kDepthLimit) {
                m_error = kExprTooManyParens;
                return false;
            }
            ++m_depth;
            m_pos = end;
            if (!expression(into))
                return false;
            std::u16string close;
            if (peek(into, close, end) != Kind::Close) {
                m_error = kExprMissingRightParen;
                return false;
            }
            m_pos = end;
            --m_depth;
            return true;
        }
        case Kind::Term: {
            std::u16string term = token;
            m_pos = end;
            for (;;) {
                std::u16string next;
                if (peek(into, next, end) != Kind::Term)
                    break;
                term += u' ';
                term += next;
                m_pos = end;
            }
            if (!into.evaluateTerm(term)) {
                if (into.errorCode() == 0)
                    m_error = kExprCanceled;
                return false;
            }
            return true;
        }
        }
        m_error = kExprUnexpectedToken;
        return false;
    }

    bool expression(T& left)
    {
        if (!primary(left))
            return false;
        for (;;) {
            std::u16string op;
            std::size_t end = 0;
            if (peek(left, op, end) != Kind::Operator)
                return true;
            m_pos = end;
            std::unique_ptr<T> right = left.makeOperand();
            if (right == nullptr || !right->reset(m_options)) {
                m_error = kExprCanceled;
                return false;
            }
            if (!primary(*right)) {
                if (right->errorCode() != 0)
                    left.setError(right->errorCode(), right->errorMessageText());
                return false;
            }
            if (!left.applyOperator(op, *right)) {
                if (left.errorCode() == 0)
                    m_error = kExprCanceled;
                return false;
            }
        }
    }

    std::u16string m_text;
    const void* m_options;
    std::size_t m_pos = 0;
    uint32_t m_error = kExprOk;
    uint32_t m_depth = 0;
};
