#pragma once
// A long text handed over piece by piece, so that it is never held whole on its way.

#include <QAnyStringView>
#include <QString>
#include <functional>

class TextSink {
  public:
    virtual ~TextSink() = default;
    virtual void put(QLatin1StringView piece) = 0;
    virtual void put(QStringView piece) = 0;
    void putAny(QAnyStringView piece) {
        piece.visit([this](auto text) {
            if constexpr (std::is_same_v<decltype(text), QUtf8StringView>)
                put(QStringView(QString::fromUtf8(text)));
            else
                put(text);
        });
    }
};

// A text to store: puts its pieces, in order, into the sink. It may be called more than once and
// puts the same text each time.
using TextPieces = std::function<void(TextSink& sink)>;
