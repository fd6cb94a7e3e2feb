#include "runtime/titles.h"

#include "platform/failure.h"

namespace {
constexpr qsizetype kMaxAppTitleLength = 40;
QString& appTitle() {
    static QString title;
    return title;
}
}  // namespace

QString productTitle() { return QString::fromUtf16(kProductTitle); }

QString applicationTitleFrom(const QString& product) {
    QString t = product;
    do {
        const qsizetype p = t.lastIndexOf(u' ');
        if (p < 0)
            throw Failure(
                QStringLiteral("The title \"%1\" has no blank left to shorten it at.").arg(t));
        t.truncate(p);
    } while (t.size() > kMaxAppTitleLength);
    return t;
}

void SetAppTitle() { appTitle() = applicationTitleFrom(productTitle()); }

QString applicationTitle() { return appTitle(); }
