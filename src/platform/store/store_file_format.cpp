#include "platform/store/store_file_format.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";
constexpr char kHexLower[] = "0123456789abcdef";
constexpr QByteArrayView kBytesPrefix = "@ByteArray(";
// A long piece is encoded in parts, so the buffer never needs room for its worst case at once.
constexpr qsizetype kPartLength = 1 << 16;
// Each UTF-16 unit is at most three UTF-8 bytes, each at most four escaped ("\xff").
constexpr qsizetype kWorstBytesPerUnit = 12;

// How the value escaping treats a byte: written as it is, as it is unless it follows an escape
// (a hex digit would run into it), as it is but the value gets quotes, or escaped.
enum ByteKind : uchar { Plain, HexDigit, NeedsQuotes, Escaped };

constexpr std::array<uchar, 256> byteKinds() {
    std::array<uchar, 256> kinds{};
    for (int b = 0; b < 256; ++b) {
        if (b <= 0x1F || b >= 0x7F || b == '"' || b == '\\')
            kinds[b] = Escaped;
        else if (b == ';' || b == ',' || b == '=')
            kinds[b] = NeedsQuotes;
        else if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F'))
            kinds[b] = HexDigit;
        else
            kinds[b] = Plain;
    }
    return kinds;
}
constexpr std::array<uchar, 256> kByteKinds = byteKinds();

// Bytes that end a run of plain bytes in a value (for the reading), and in the value's line.
constexpr std::array<bool, 256> bytesAmong(std::string_view among) {
    std::array<bool, 256> is{};
    for (char c : among) is[uchar(c)] = true;
    return is;
}
constexpr std::array<bool, 256> kEndsRun = bytesAmong("\\\",");
constexpr std::array<bool, 256> kLineSpecial = bytesAmong("\\\";\n\r");

char* putHex(char* out, uchar byte) {
    *out++ = '\\';
    *out++ = 'x';
    if (byte >= 16) *out++ = kHexLower[byte >> 4];
    *out++ = kHexLower[byte & 15];
    return out;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// One byte of the value, escaped as QSettings escapes it. The state is the caller's locals, which
// the compiler keeps in registers: as members every byte written would reload them.
[[gnu::always_inline]] inline void putByte(char*& out, uchar byte, bool& esc, bool& quotes) {
    switch (kByteKinds[byte]) {
        case Plain:
            esc = false;
            *out++ = char(byte);
            return;
        case HexDigit:
            // After a hex escape the next hex digit is escaped too, and so on.
            if (esc)
                out = putHex(out, byte);
            else
                *out++ = char(byte);
            return;
        case NeedsQuotes:
            quotes = true;
            esc = false;
            *out++ = char(byte);
            return;
        default:
            break;
    }
    esc = false;
    char named = 0;
    switch (byte) {
        case '\0':
            *out++ = '\\';
            *out++ = '0';
            esc = true;
            return;
        case '\a':
            named = 'a';
            break;
        case '\b':
            named = 'b';
            break;
        case '\f':
            named = 'f';
            break;
        case '\n':
            named = 'n';
            break;
        case '\r':
            named = 'r';
            break;
        case '\t':
            named = 't';
            break;
        case '\v':
            named = 'v';
            break;
        case '"':
        case '\\':
            named = char(byte);
            break;
        default:
            out = putHex(out, byte);
            esc = true;
            return;
    }
    *out++ = '\\';
    *out++ = named;
}

}  // namespace

QByteArray escapedSettingsKey(QStringView key) {
    QByteArray out;
    for (QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == u'/') {
            out += '\\';
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                   (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'.') {
            out += char(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHexUpper[c >> 4];
            out += kHexUpper[c & 15];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4) out += kHexUpper[(c >> shift) & 15];
        }
    }
    return out;
}

StoreFileWriter::StoreFileWriter(QStringView section, QStringView key, qsizetype valueSizeHint) {
    const QByteArray header =
        '[' + escapedSettingsKey(section) + "]\n" + escapedSettingsKey(key) + '=';
    headerSize_ = header.size();
    // Plain text takes a byte a character; a little more covers a few escapes.
    buffer_.resize(headerSize_ + 1 + kBytesPrefix.size() + valueSizeHint + valueSizeHint / 16 +
                   kPartLength);
    std::memcpy(buffer_.data(), header.constData(), size_t(headerSize_));
    quotePos_ = headerSize_;
    out_ = buffer_.data() + headerSize_ + 1;
    appendLatin1(QLatin1StringView(kBytesPrefix));
}

char* StoreFileWriter::reserve(qsizetype n) {
    const qsizetype used = out_ - buffer_.data();
    if (buffer_.size() - used < n) {
        buffer_.resize(std::max(used + n, buffer_.size() + buffer_.size() / 2));
        out_ = buffer_.data() + used;
    }
    return out_;
}

void StoreFileWriter::append(QAnyStringView piece) {
    piece.visit([this](auto text) {
        using View = decltype(text);
        if constexpr (std::is_same_v<View, QStringView>)
            appendUtf16(text);
        else if constexpr (std::is_same_v<View, QLatin1StringView>)
            appendLatin1(text);
        else
            appendUtf16(QString::fromUtf8(text));
    });
}

void StoreFileWriter::appendLatin1(QLatin1StringView text) {
    if (pendingHigh_) appendUtf16({});
    bool esc = escapeNextIfHex_;
    bool quotes = needsQuotes_;
    for (qsizetype at = 0; at < text.size(); at += kPartLength) {
        const qsizetype n = std::min(kPartLength, text.size() - at);
        char* out = reserve(n * 8);
        const uchar* in = reinterpret_cast<const uchar*>(text.data()) + at;
        for (qsizetype i = 0; i < n; ++i) {
            const uchar c = in[i];
            if (kByteKinds[c] == Plain) {  // most of any list
                *out++ = char(c);
                esc = false;
            } else if (c < 0x80) {
                putByte(out, c, esc, quotes);
            } else {
                putByte(out, uchar(0xC0 | (c >> 6)), esc, quotes);
                putByte(out, uchar(0x80 | (c & 0x3F)), esc, quotes);
            }
        }
        out_ = out;
    }
    escapeNextIfHex_ = esc;
    needsQuotes_ = quotes;
}

void StoreFileWriter::appendUtf16(QStringView text) {
    bool esc = escapeNextIfHex_;
    bool quotes = needsQuotes_;
    qsizetype at = 0;
    do {
        const qsizetype n = std::min(kPartLength, text.size() - at);
        char* out = reserve(n * kWorstBytesPerUnit + kWorstBytesPerUnit);
        const char16_t* in = text.utf16() + at;
        qsizetype i = 0;
        if (pendingHigh_) {
            // As QString::toUtf8 of the whole text: a pair split between pieces is still a pair,
            // and a lone surrogate becomes '?'.
            if (n > 0 && QChar::isLowSurrogate(in[0])) {
                const char32_t c = QChar::surrogateToUcs4(pendingHigh_, in[0]);
                putByte(out, uchar(0xF0 | (c >> 18)), esc, quotes);
                putByte(out, uchar(0x80 | ((c >> 12) & 0x3F)), esc, quotes);
                putByte(out, uchar(0x80 | ((c >> 6) & 0x3F)), esc, quotes);
                putByte(out, uchar(0x80 | (c & 0x3F)), esc, quotes);
                i = 1;
            } else {
                putByte(out, '?', esc, quotes);
            }
            pendingHigh_ = 0;
        }
        for (; i < n; ++i) {
            const char16_t c = in[i];
            if (c < 0x80 && kByteKinds[c] == Plain) {  // most of any list
                *out++ = char(c);
                esc = false;
            } else if (c < 0x80) {
                putByte(out, uchar(c), esc, quotes);
            } else if (c < 0x800) {
                putByte(out, uchar(0xC0 | (c >> 6)), esc, quotes);
                putByte(out, uchar(0x80 | (c & 0x3F)), esc, quotes);
            } else if (!QChar::isSurrogate(c)) {
                putByte(out, uchar(0xE0 | (c >> 12)), esc, quotes);
                putByte(out, uchar(0x80 | ((c >> 6) & 0x3F)), esc, quotes);
                putByte(out, uchar(0x80 | (c & 0x3F)), esc, quotes);
            } else if (QChar::isHighSurrogate(c) && i + 1 == n) {
                pendingHigh_ = c;
            } else if (QChar::isHighSurrogate(c) && QChar::isLowSurrogate(in[i + 1])) {
                const char32_t u = QChar::surrogateToUcs4(c, in[++i]);
                putByte(out, uchar(0xF0 | (u >> 18)), esc, quotes);
                putByte(out, uchar(0x80 | ((u >> 12) & 0x3F)), esc, quotes);
                putByte(out, uchar(0x80 | ((u >> 6) & 0x3F)), esc, quotes);
                putByte(out, uchar(0x80 | (u & 0x3F)), esc, quotes);
            } else {
                putByte(out, '?', esc, quotes);
            }
        }
        out_ = out;
        at += n;
    } while (at < text.size());
    escapeNextIfHex_ = esc;
    needsQuotes_ = quotes;
}

QByteArray StoreFileWriter::finish() {
    if (pendingHigh_) appendUtf16({});
    bool esc = escapeNextIfHex_;
    char* out = reserve(8);
    bool& quotes = needsQuotes_;
    putByte(out, ')', esc, quotes);
    if (needsQuotes_) *out++ = '"';
    *out++ = '\n';
    buffer_.truncate(out - buffer_.data());
    if (needsQuotes_) {
        buffer_[quotePos_] = '"';
    } else {
        // The header moves up over the place kept for the quote; dropping the first byte of a
        // QByteArray moves its start and copies nothing.
        std::memmove(buffer_.data() + 1, buffer_.data(), size_t(headerSize_));
        buffer_.remove(0, 1);
    }
    return std::move(buffer_);
}

namespace {

// QSettings' reading of a value (Qt 6.4, iniUnescapedStringList), step for step: the sink gets
// each character an escape makes, each run of bytes between escapes, quotes and commas (which
// QSettings decodes as UTF-8 run by run), and the points where trailing blanks stop being cut.
// False when the value is a list (an unquoted comma).
template <class Sink>
bool unescape(QByteArrayView v, Sink& sink) {
    static constexpr char kNamed[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                         {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                         {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    const char* s = v.data();
    const qsizetype to = v.size();
    qsizetype i = 0;
    bool inQuotes = false;
    bool quoted = false;
    auto skipBlanks = [&] {
        while (i < to && (s[i] == ' ' || s[i] == '\t')) ++i;
    };
    skipBlanks();
    while (i < to) {
        const char c = s[i];
        if (c == '\\') {
            if (++i >= to) break;
            const char e = s[i++];
            bool done = false;
            for (const auto& named : kNamed)
                if (!done && e == named[0]) {
                    sink.unit(char16_t(uchar(named[1])));
                    done = true;
                }
            if (done) continue;
            if ((e == 'x' && i < to && isHex(s[i])) || (e >= '0' && e <= '7')) {
                const bool hex = e == 'x';
                // Only the low 16 bits of a long escape count, as in QChar(int).
                quint32 value = hex ? 0 : quint32(e - '0');
                while (i < to && (hex ? isHex(s[i]) : (s[i] >= '0' && s[i] <= '7')))
                    value = hex ? value * 16 + quint32(hexValue(s[i++]))
                                : value * 8 + quint32(s[i++] - '0');
                sink.unit(char16_t(value & 0xFFFF));
                continue;
            }
            if (e == '\n' || e == '\r') {
                if (i < to && (s[i] == '\n' || s[i] == '\r') && s[i] != e) ++i;
            }
            // Anything else after a backslash is dropped.
            sink.mark();
            continue;
        }
        if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) skipBlanks();
            sink.mark();
            continue;
        }
        if (c == ',' && !inQuotes) return false;
        qsizetype j = i + 1;
        while (j < to && !kEndsRun[uchar(s[j])]) ++j;
        sink.raw(QByteArrayView(s + i, j - i));
        i = j;
    }
    sink.end(quoted);
    return true;
}

// The first pass: what the value is, without keeping any of it.
struct Survey {
    qsizetype count = 0;  // characters from escapes plus bytes of runs
    char16_t first[12] = {};
    char16_t last = 0;
    bool nonAsciiRun = false;
    bool wideUnit = false;
    bool blankCut = false;  // QSettings would cut trailing blanks
    bool trailingBlank = false;

    void add(char16_t c) {
        if (count < qsizetype(std::size(first))) first[count] = c;
        ++count;
        last = c;
    }
    void unit(char16_t c) {
        wideUnit |= c > 0xFF;
        add(c);
        trailingBlank = false;
    }
    void mark() { trailingBlank = false; }
    void raw(QByteArrayView run) {
        for (qsizetype k = 0; k < run.size() && count + k < qsizetype(std::size(first)); ++k)
            first[count + k] = uchar(run[k]);
        count += run.size();
        uchar all = 0;
        for (char b : run) all |= uchar(b);
        nonAsciiRun |= (all & 0x80) != 0;
        last = uchar(run.back());
        trailingBlank = run.back() == ' ' || run.back() == '\t';
    }
    void end(bool quoted) { blankCut = !quoted && trailingBlank; }

    bool startsWith(QLatin1StringView prefix) const {
        if (count < prefix.size()) return false;
        for (qsizetype k = 0; k < prefix.size(); ++k)
            if (first[k] != prefix[k].unicode()) return false;
        return true;
    }
};

constexpr qsizetype kPieceLength = 1 << 16;

// Decodes UTF-8 as QString::fromUtf8 does, in parts cut after an ASCII byte (which ends any
// sequence, valid or not, the same way whether cut there or not).
class Utf8Pieces {
  public:
    explicit Utf8Pieces(const std::function<void(QStringView)>& piece) : piece_(piece) {}

    void addBytes(QByteArrayView bytes) {
        // A part at a time, so that a long run is never copied or decoded whole.
        while (!bytes.isEmpty()) {
            const qsizetype n =
                std::min(bytes.size(), std::max<qsizetype>(1, kPieceLength - bytes_.size()));
            bytes_.append(bytes.first(n));
            bytes = bytes.sliced(n);
            if (bytes_.size() >= kPieceLength) decodeBytes(false);
        }
    }
    void addByte(char b) {
        bytes_.append(b);
        if (bytes_.size() >= kPieceLength) decodeBytes(false);
    }
    // A character that is not UTF-8: whatever bytes came before it are a whole run.
    void addUnit(char16_t c) {
        decodeBytes(true);
        text_.append(QChar(c));
        if (text_.size() >= kPieceLength) flushText();
    }
    void endRun() { decodeBytes(true); }
    void finish() {
        decodeBytes(true);
        flushText();
    }

  private:
    void decodeBytes(bool all) {
        if (bytes_.isEmpty()) return;
        qsizetype cut = bytes_.size();
        if (!all) {
            while (cut > 0 && uchar(bytes_[cut - 1]) >= 0x80) --cut;
            if (cut == 0) return;  // no ASCII yet: keep gathering
        }
        const QByteArrayView part(bytes_.constData(), cut);
        const qsizetype at = text_.size();
        text_.resize(at + decoder_.requiredSpace(cut));
        QChar* end = decoder_.appendToBuffer(text_.data() + at, part);
        text_.truncate(end - text_.constData());
        bytes_.remove(0, cut);
        if (text_.size() >= kPieceLength) flushText();
    }
    void flushText() {
        if (!text_.isEmpty()) piece_(text_);
        text_.truncate(0);
    }

    const std::function<void(QStringView)>& piece_;
    QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom};
    QByteArray bytes_;
    QString text_;
};

// The second pass: the characters from skip on, less the last when dropLast, as text. In the
// byte form every character is a byte of UTF-8; in the text form runs are UTF-8 of their own.
struct Emit {
    Utf8Pieces& out;
    bool bytes;
    qsizetype skip;
    qsizetype stop;  // the count of characters to hand out up to
    qsizetype at = 0;

    void unit(char16_t c) {
        if (at >= skip && at < stop) {
            if (bytes)
                out.addByte(char(c));
            else
                out.addUnit(c);
        }
        ++at;
    }
    void mark() {}
    void raw(QByteArrayView run) {
        const qsizetype from = std::max<qsizetype>(skip - at, 0);
        const qsizetype to = std::min<qsizetype>(stop - at, run.size());
        if (from < to) out.addBytes(run.sliced(from, to - from));
        at += run.size();
        if (!bytes) out.endRun();
    }
    void end(bool) {}
};

}  // namespace

std::optional<StoredValue> StoredValue::find(QByteArrayView file, QStringView section,
                                             QStringView key) {
    const QByteArray head =
        '[' + escapedSettingsKey(section) + "]\n" + escapedSettingsKey(key) + '=';
    if (!file.startsWith(head)) return std::nullopt;
    // The value's line ends as QSettings' line reader ends it: at a line break outside quotes,
    // a backslash taking the byte after it along. A comment, or a break inside quotes, is left
    // to QSettings.
    const char* s = file.data();
    const qsizetype size = file.size();
    qsizetype i = head.size();
    bool inQuotes = false;
    for (; i < size; ++i) {
        const char c = s[i];
        if (!kLineSpecial[uchar(c)]) continue;
        if (c == '\\') {
            if (i + 1 < size && (s[i + 1] == '\n' || s[i + 1] == '\r')) return std::nullopt;
            ++i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';' && !inQuotes) {
            return std::nullopt;
        } else if (c == '\n' || c == '\r') {
            if (inQuotes) return std::nullopt;
            break;
        }
    }
    const qsizetype end = std::min(i, size);
    if (end < size && !(s[end] == '\n' && end + 1 == size)) return std::nullopt;

    StoredValue value;
    value.raw_ = QByteArrayView(s + head.size(), end - head.size());
    Survey survey;
    if (!unescape(value.raw_, survey) || survey.blankCut) return std::nullopt;
    const bool closed = survey.count > 0 && survey.last == u')';
    if (survey.startsWith(QLatin1StringView(kBytesPrefix)) && closed) {
        // Bytes are characters up to 0xFF; QSettings reads other ones in a way of its own.
        if (survey.nonAsciiRun || survey.wideUnit) return std::nullopt;
        value.form_ = Form::Bytes;
        value.skip_ = kBytesPrefix.size();
        value.dropLast_ = true;
    } else if (survey.startsWith(QLatin1StringView("@@"))) {
        value.skip_ = 1;
    } else if (survey.startsWith(QLatin1StringView("@String(")) && closed) {
        value.skip_ = 8;
        value.dropLast_ = true;
    } else if (survey.count > 0 && survey.first[0] == u'@') {
        return std::nullopt;  // a typed value of QSettings' own
    }
    value.empty_ = survey.count - value.skip_ - (value.dropLast_ ? 1 : 0) <= 0;
    value.count_ = survey.count;
    return value;
}

void StoredValue::decode(const std::function<void(QStringView)>& piece) const {
    Utf8Pieces out(piece);
    Emit emit{out, form_ == Form::Bytes, skip_, count_ - (dropLast_ ? 1 : 0)};
    unescape(raw_, emit);
    out.finish();
}
