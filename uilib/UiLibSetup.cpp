#include "UiLibSetup.h"

#include "HookLists.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerResources()
{
    Q_INIT_RESOURCE(YBrowserRunner);
}

namespace YUILIB {

namespace {

// Dialog texts name the Windows UI font; here a metric-compatible CJK font
// stands in so captions render and layouts measured from metrics hold.
void substituteFonts()
{
    const QString family = QString::fromUtf8("微软雅黑");
    QStringList substitutes = QFont::substitutes(family);
    for (const QString &candidate : {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"),
                                     QStringLiteral("Noto Sans CJK SC")}) {
        if (!substitutes.contains(candidate))
            substitutes << candidate;
    }
    QFont::insertSubstitutions(family, substitutes);
}

HookRegistration startupRegistration(startupHooks(), [] { initialise(); });

} // namespace

void initialise()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerResources();
    substituteFonts();
}

} // namespace YUILIB
