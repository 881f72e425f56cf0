#pragma once
// The six settings and where each lives in the settings file. The order is
// the order they are read and written in, and so the order of a new file.

#include <QStringView>

#include <array>

namespace parlowen {

enum class Setting { RouterPassword, RouterAddress, ServiceUrl, UserName, ServicePassword, Host };

struct SettingKey {
    Setting setting;
    QStringView section;
    QStringView key;
};

// "Password" stands in both sections, for two different passwords.
inline constexpr std::array<SettingKey, 6> SettingKeys{{
    {Setting::RouterPassword, u"Router settings", u"Password"},
    {Setting::RouterAddress, u"Router settings", u"IP"},
    {Setting::ServiceUrl, u"DNS settings", u"Service URL"},
    {Setting::UserName, u"DNS settings", u"User"},
    {Setting::ServicePassword, u"DNS settings", u"Password"},
    {Setting::Host, u"DNS settings", u"Host"},
}};

// The file's name; it lies beside the executable.
inline constexpr char16_t SettingsFileName[] = u"Settings.ini";

} // namespace parlowen
