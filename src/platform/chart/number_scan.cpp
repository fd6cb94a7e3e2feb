#include "platform/chart/number_text.h"

#include <charconv>
#include <string>

// The scanner behind the two readings QLocale cannot do at a cost linear in the text: a number
// too long for QLocale, and the leading number of a text that is not numeric.

namespace {

// More significant digits than a double ever needs for correct rounding; the rest only count as
// "something nonzero follows".
constexpr size_t kMaxSignificantDigits = 800;
constexpr qint64 kExponentClamp = 1'000'000'000;

struct ScanRules {
    bool skipBlanks = false;  // blanks, tabs and line feeds ignored wherever they stand
    QChar decimal = u'.';
    QChar minus = u'-';
    QChar plus = u'+';
    bool exponentD = false;  // D and d start an exponent as E and e do
};

struct Scanned {
    qsizetype end = 0;  // where the number stopped
    bool hasDigits = false;
    bool overflow = false;
    double value = 0;
};

class Scanner {
  public:
    Scanner(QStringView text, const ScanRules& rules) : text_(text), rules_(rules) {}

    Scanned scan() {
        Scanned out;
        bool negative = false;
        skip();
        if (at(rules_.minus) || at(u'-')) {
            negative = true;
            advance();
        } else if (at(rules_.plus) || at(u'+')) {
            advance();
        }
        while (digit()) integerDigit(take());
        if (at(rules_.decimal)) {
            advance();
            while (digit()) fractionDigit(take());
        }
        out.hasDigits = digits_ > 0;
        if (!out.hasDigits) return out;
        qint64 exponent = 0;
        const qsizetype beforeExponent = pos_;
        if (exponentLetter()) {
            advance();
            bool negativeExponent = false;
            if (at(u'-') || at(rules_.minus)) {
                negativeExponent = true;
                advance();
            } else if (at(u'+') || at(rules_.plus)) {
                advance();
            }
            if (digit()) {
                while (digit())
                    exponent = std::min(exponent * 10 + (take() - u'0'), kExponentClamp);
                if (negativeExponent) exponent = -exponent;
            } else {
                pos_ = beforeExponent;  // "5E" and "5E+" end before the letter
            }
        }
        out.end = pos_;
        finish(out, negative, exponent);
        return out;
    }

  private:
    void skip() {
        if (!rules_.skipBlanks) return;
        while (pos_ < text_.size() &&
               (text_[pos_] == u' ' || text_[pos_] == u'\t' || text_[pos_] == u'\n'))
            ++pos_;
    }
    bool at(QChar c) const { return pos_ < text_.size() && text_[pos_] == c; }
    bool digit() const { return pos_ < text_.size() && isAsciiDigit(text_[pos_]); }
    bool exponentLetter() const {
        if (pos_ >= text_.size()) return false;
        const QChar c = text_[pos_];
        return c == u'E' || c == u'e' || (rules_.exponentD && (c == u'D' || c == u'd'));
    }
    void advance() {
        ++pos_;
        skip();
    }
    char16_t take() {
        const char16_t c = text_[pos_].unicode();
        advance();
        return c;
    }

    void integerDigit(char16_t c) {
        ++digits_;
        if (significant_.empty() && c == u'0') return;
        if (significant_.size() < kMaxSignificantDigits) {
            significant_.push_back(char(c));
        } else {
            ++scale_;
            sticky_ = sticky_ || c != u'0';
        }
    }
    void fractionDigit(char16_t c) {
        ++digits_;
        if (significant_.empty() && c == u'0') {
            --scale_;
        } else if (significant_.size() < kMaxSignificantDigits) {
            significant_.push_back(char(c));
            --scale_;
        } else {
            sticky_ = sticky_ || c != u'0';
        }
        scale_ = std::max(scale_, -kExponentClamp);
    }

    void finish(Scanned& out, bool negative, qint64 exponent) {
        if (significant_.empty()) {
            out.value = negative ? -0.0 : 0.0;
            return;
        }
        if (sticky_) {
            significant_.push_back('1');
            --scale_;
        }
        const qint64 total = scale_ + exponent;
        std::string text = significant_;
        text += 'e';
        text += std::to_string(total);
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc::result_out_of_range) {
            // The number's magnitude is about 10^(digits + exponent); one too small for a double
            // is zero.
            out.overflow = total + qint64(significant_.size()) > 0;
            value = 0;
        }
        out.value = negative ? -value : value;
    }

    QStringView text_;
    const ScanRules& rules_;
    qsizetype pos_ = 0;
    qsizetype digits_ = 0;
    std::string significant_;
    qint64 scale_ = 0;
    bool sticky_ = false;
};

}  // namespace

std::optional<double> LocaleNumbers::parseLong(QStringView trimmed) const {
    const auto single = [](const QString& s, QChar fallback) {
        return s.size() == 1 ? s.at(0) : fallback;
    };
    ScanRules rules;
    rules.decimal = single(decimal_, u'\0');
    rules.minus = single(minus_, u'-');
    rules.plus = single(plus_, u'+');
    const Scanned scanned = Scanner(trimmed, rules).scan();
    if (!scanned.hasDigits || scanned.end != trimmed.size() || scanned.overflow)
        return std::nullopt;
    return scanned.value;
}

std::optional<double> fixedNotationNumber(QStringView text) {
    ScanRules rules;
    rules.skipBlanks = true;
    rules.exponentD = true;
    const Scanned scanned = Scanner(text, rules).scan();
    if (scanned.overflow) return std::nullopt;
    return scanned.value;
}
