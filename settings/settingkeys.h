#pragma once
// The six settings and where each lives in the settings file. The order is
// the order they are read and written in, and so the order of a new file.

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>

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

// Not one of the window's fields: "UPnP=no" in this section keeps a check
// from asking the router's UPnP service when its log has no address; the
// key absent, or any other value, leaves that on. The window never writes
// it, so it stays as the user put it.
inline constexpr QStringView UpnpSection = u"Router settings";
inline constexpr QStringView UpnpKey = u"UPnP";

// Not one of the window's fields either: "IPv6=yes" in this section sends
// this computer's own IPv6 address beside the router's IPv4 address, and
// "IPv6=only" that address alone (check/ipv6mode). Kept as the user wrote it,
// so that a value that is none of the three is told of, not taken for "no".
inline constexpr QStringView Ipv6Section = u"DNS settings";
inline constexpr QStringView Ipv6Key = u"IPv6";

// The six values as one read of the settings file gave them: a save that
// lands while they are read can never pair one file's user name with
// another's service URL.
class SettingValues {
public:
    bool askUpnp = true; // from the UPnP key
    QString ipv6{};      // the IPv6 key's value, as written

    QString& operator[](Setting setting) { return m_values[std::size_t(setting)]; }
    const QString& operator[](Setting setting) const { return m_values[std::size_t(setting)]; }
    friend bool operator==(const SettingValues&, const SettingValues&) = default;

private:
    std::array<QString, SettingKeys.size()> m_values;
};

// The file's name; it lies beside the executable.
inline constexpr char16_t SettingsFileName[] = u"Settings.ini";

} // namespace parlowen
