#pragma once

#include <QString>

// The monitored line's settings as a short text ("9600-6-1-N", "9600-8-1-M"), from
// the "PropertyPage1" settings; empty for an unknown protocol.
QString SerialSettingsText();
