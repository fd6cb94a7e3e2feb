#include "platform/store/store_file_writer.h"

#include "platform/failure.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";
constexpr char kHexLower[] = "0123456789abcdef";
constexpr QByteArrayView kBytesPrefix = "@ByteArray(";
// A long piece is encoded in parts, so the buffer never needs room for its worst case at once.
constexpr qsizetype kPartLength = 1 << 14;
// Each UTF-16 unit is at most three UTF-8 bytes, each at most four escaped ("\xff"); a Latin-1
// character is at most two UTF-8 bytes.
constexpr qsizetype kWorstBytesPerUnit = 12;
constexpr qsizetype kWorstBytesPerLatin1 = 8;
// What a writer that hands its file on holds: big enough that the writes are few, small enough to
// stay in the processor's cache between being filled and being written.
constexpr qsizetype kStreamBuffer = 512 << 10;

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

// 1 for a byte that is not written as it is, or makes the value quoted.
constexpr std::array<uchar, 256> bytesOfKindAtLeast(uchar kind) {
    std::array<uchar, 256> is{};
    for (int b = 0; b < 256; ++b) is[b] = kByteKinds[b] >= kind ? 1 : 0;
    return is;
}
constexpr std::array<uchar, 256> kSpecial = bytesOfKindAtLeast(NeedsQuotes);

char* putHex(char* out, uchar byte) {
    *out++ = '\\';
    *out++ = 'x';
    if (byte >= 16) *out++ = kHexLower[byte >> 4];
    *out++ = kHexLower[byte & 15];
    return out;
}

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

void putUtf8(char*& out, char32_t c, bool& esc, bool& quotes) {
    if (c >= 0x10000) {
        putByte(out, uchar(0xF0 | (c >> 18)), esc, quotes);
        putByte(out, uchar(0x80 | ((c >> 12) & 0x3F)), esc, quotes);
    } else {
        putByte(out, uchar(0xE0 | (c >> 12)), esc, quotes);
    }
    putByte(out, uchar(0x80 | ((c >> 6) & 0x3F)), esc, quotes);
    putByte(out, uchar(0x80 | (c & 0x3F)), esc, quotes);
}

// Copies the n bytes at in to out and says whether any of them is not written as it is or
// makes the value quoted, reading none but them (a cell's text may end its buffer). Sixteen
// bytes are looked at in one go where the processor can; most pieces are a few to a few dozen
// bytes.
#if defined(__SSE2__)
// Copies n bytes (from one to two words) as the first word and the last, which overlap when n
// is less than two words; both words, for a look at every byte.
template <typename Word>
std::pair<Word, Word> copyEnds(const uchar* in, qsizetype n, char* out) {
    Word first;
    Word last;
    std::memcpy(&first, in, sizeof(Word));
    std::memcpy(&last, in + n - qsizetype(sizeof(Word)), sizeof(Word));
    std::memcpy(out, &first, sizeof(Word));
    std::memcpy(out + n - qsizetype(sizeof(Word)), &last, sizeof(Word));
    return {first, last};
}
#endif

bool copyPlain(const uchar* in, qsizetype n, char* out) {
#if defined(__SSE2__)
    if (n >= 4) {
        auto special = [](__m128i v) {
            auto is = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
            // Signed, so the bytes from 0x80 up count as below 0x20.
            const __m128i control = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_or_si128(control, is('\x7f')), _mm_or_si128(is('"'), is('\\'))),
                _mm_or_si128(_mm_or_si128(is(';'), is(',')), is('=')));
            return _mm_movemask_epi8(hit) != 0;
        };
        if (n < 8) {
            const auto [first, last] = copyEnds<quint32>(in, n, out);
            return special(_mm_set_epi32(int(last), int(first), int(last), int(first)));
        }
        if (n <= 16) {
            // Two words, which overlap when n < 16.
            const auto [first, last] = copyEnds<quint64>(in, n, out);
            return special(_mm_set_epi64x(qint64(last), qint64(first)));
        }
        bool any = false;
        for (qsizetype i = 0;; i += 16) {
            const qsizetype at = std::min(i, n - 16);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), v);
            any = any || special(v);
            if (at == n - 16) return any;
        }
    }
#endif
    uchar any = 0;
    for (qsizetype i = 0; i < n; ++i) {
        out[i] = char(in[i]);
        any |= kSpecial[in[i]];
    }
    return any != 0;
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

QByteArray storeFileHead(QStringView section, QStringView key) {
    return '[' + escapedSettingsKey(section) + "]\n" + escapedSettingsKey(key) + '=';
}

StoreFileWriter::StoreFileWriter(QStringView section, QStringView key, qsizetype valueSizeHint) {
    const QByteArray header = storeFileHead(section, key);
    headerSize_ = header.size();
    // Plain text takes a byte a character; a little more covers a few escapes.
    buffer_.resize(headerSize_ + 1 + kBytesPrefix.size() + valueSizeHint + valueSizeHint / 16 +
                   kPartLength);
    std::memcpy(buffer_.data(), header.constData(), size_t(headerSize_));
    quotePos_ = headerSize_;
    out_ = buffer_.data() + headerSize_ + 1;
    end_ = buffer_.data() + buffer_.size();
    put(QLatin1StringView(kBytesPrefix));
}

StoreFileWriter::StoreFileWriter(QStringView section, QStringView key, bool quoted,
                                 std::function<bool(QByteArrayView)> write)
    : write_(std::move(write)), quoted_(quoted) {
    const QByteArray header = storeFileHead(section, key) + (quoted ? "\"" : "");
    headerSize_ = header.size();
    buffer_.resize(std::max(kStreamBuffer, headerSize_ + kPartLength));
    std::memcpy(buffer_.data(), header.constData(), size_t(headerSize_));
    out_ = buffer_.data() + headerSize_;
    end_ = buffer_.data() + buffer_.size();
    put(QLatin1StringView(kBytesPrefix));
}

void StoreFileWriter::flush(char* out) {
    const QByteArrayView part(buffer_.constData(), out - buffer_.constData());
    if (!failed_ && !quotesMissing() && !part.isEmpty()) failed_ = !write_(part);
    out_ = buffer_.data();
}

char* StoreFileWriter::makeRoom(qsizetype n) {
    if (write_) flush(out_);
    const qsizetype used = out_ - buffer_.data();
    if (buffer_.size() - used < n) {
        buffer_.resize(std::max(used + n, buffer_.size() + buffer_.size() / 2));
        out_ = buffer_.data() + used;
        end_ = buffer_.data() + buffer_.size();
    }
    return out_;
}

void StoreFileWriter::putSlowly(const uchar* in, qsizetype n, char*& out) {
    bool esc = escapeNextIfHex_;
    bool quotes = needsQuotes_;
    for (qsizetype i = 0; i < n; ++i) {
        const uchar c = in[i];
        if (kByteKinds[c] == Plain) {
            *out++ = char(c);
            esc = false;
        } else if (c < 0x80) {
            putByte(out, c, esc, quotes);
        } else {
            putByte(out, uchar(0xC0 | (c >> 6)), esc, quotes);
            putByte(out, uchar(0x80 | (c & 0x3F)), esc, quotes);
        }
    }
    escapeNextIfHex_ = esc;
    needsQuotes_ = quotes;
}

void StoreFileWriter::put(QLatin1StringView text) {
    if (quotesMissing()) return;
    if (pendingHigh_) putPendingHigh();
    const uchar* in = reinterpret_cast<const uchar*>(text.data());
    for (qsizetype left = text.size(); left > 0;) {
        const qsizetype n = std::min(kPartLength, left);
        char* out = reserve(n * kWorstBytesPerLatin1);
        // Nearly every piece is written as it is: copied and checked in one pass, and done again
        // byte by byte only when a byte needs more.
        if (!escapeNextIfHex_ && !copyPlain(in, n, out))
            out += n;
        else
            putSlowly(in, n, out);
        out_ = out;
        in += n;
        left -= n;
    }
}

void StoreFileWriter::putPendingHigh() {
    // A high surrogate with no low one after it: as QString::toUtf8 writes it.
    char* out = reserve(kWorstBytesPerUnit);
    bool esc = escapeNextIfHex_;
    putByte(out, '?', esc, needsQuotes_);
    escapeNextIfHex_ = esc;
    out_ = out;
    pendingHigh_ = 0;
}

void StoreFileWriter::put(QStringView text) {
    if (quotesMissing()) return;
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
                putUtf8(out, QChar::surrogateToUcs4(pendingHigh_, in[0]), esc, quotes);
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
                putUtf8(out, c, esc, quotes);
            } else if (QChar::isHighSurrogate(c) && i + 1 == n) {
                pendingHigh_ = c;
            } else if (QChar::isHighSurrogate(c) && QChar::isLowSurrogate(in[i + 1])) {
                putUtf8(out, QChar::surrogateToUcs4(c, in[++i]), esc, quotes);
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
    if (pendingHigh_) putPendingHigh();
    bool esc = escapeNextIfHex_;
    char* out = reserve(8);
    putByte(out, ')', esc, needsQuotes_);
    if (write_ ? quoted_ : needsQuotes_) *out++ = '"';
    *out++ = '\n';
    if (write_) {
        if (quoted_ && !needsQuotes_)
            throw Failure(QStringLiteral("The stored text changed while it was written."));
        flush(out);
        buffer_.clear();
        return QByteArray();
    }
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
