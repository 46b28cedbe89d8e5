#pragma once

#include <QString>

// The fixed locations of the application, following the XDG base directories.
// Nothing here creates a directory.
namespace Paths {
QString home();
QString support();     // $XDG_DATA_HOME/Bonkbell
QString inbox();       // BONKBELL_INBOX when set and not empty, else support()/Inbox
QString logDir();      // $XDG_STATE_HOME/Bonkbell
QString log();         // logDir()/Bonkbell.log
QString configDir();   // $XDG_CONFIG_HOME/Bonkbell
QString preferences(); // configDir()/Bonkbell.conf
QString launchAgent(); // $XDG_CONFIG_HOME/autostart/com.bonkbell.mac.desktop
} // namespace Paths
