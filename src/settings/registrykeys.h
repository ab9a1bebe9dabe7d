#pragma once

#include <QString>

// Where the program keeps its data in the registry store. Key names compare without regard to
// case, so the toolbar key's "\SOFTWARE\..." lies below the same Setup key.
namespace RegistryKeys {

inline QString program()
{
    return QStringLiteral("\\Software\\Quillon Software\\Orvane FTP");
}

// Key of the "setup" (options record) and "screen" (layout record) string values.
inline QString setup()
{
    return QStringLiteral("\\Software\\Quillon Software\\Orvane FTP\\Setup\\");
}

// Key of the toolbar positions (one binary value).
inline QString toolbars()
{
    return QStringLiteral("\\SOFTWARE\\Quillon Software\\Orvane FTP\\Setup\\Toolbars");
}

// Root key of the saved sites.
inline QString siteManager()
{
    return QStringLiteral("\\Software\\Quillon Software\\Orvane FTP\\Site Manager");
}

inline QString setupValue()
{
    return QStringLiteral("setup");
}

// Beside the options record: what a transfer does when its target exists, as a number.
inline QString onExistsValue()
{
    return QStringLiteral("onexists");
}

inline QString screenValue()
{
    return QStringLiteral("screen");
}

// The one binary value of the Toolbars key: the main window's saved toolbar state.
inline QString toolbarsValue()
{
    return QStringLiteral("State");
}

} // namespace RegistryKeys
