// The rows of tst_providersim's answers(): for each provider its sign-in
// refusal, its address parameter, its unchanged answer, and the like.
#include "providerexchanges.h"

#include <QCryptographicHash>
#include <QTest>

namespace {

QByteArray basic(const char* user, const char* password)
{
    return "Authorization: Basic " + (QByteArray(user) + ':' + password).toBase64() + "\r\n";
}

void row(const char* name, const char* provider, const Exchange& exchange, const Expected& expected)
{
    QTest::newRow(name) << QString::fromLatin1(provider) << exchange << expected.blocked << expected.status
                        << expected.challenge << expected.answer << expected.address << expected.addressV6;
}

const QByteArray right = basic("demo", "s3cret");
const QByteArray wrong = basic("demo", "secret");
const QByteArray nic = "/nic/update?hostname=home.example.com&myip=";
const QByteArray desecAccount = basic("", "s3cret");
const QByteArray bearer = "Authorization: Bearer s3cret\r\n";
const QByteArray porkbunKeys = R"("apikey":"pk1_demo","secretapikey":"s3cret")";

} // namespace

void addDyndns2Rows()
{
    row("No-IP challenges for Basic when no account comes", "noip", {.target = nic + "203.0.113.7"},
        {.status = 401, .answer = "badauth", .challenge = "Basic"});
    row("No-IP refuses a wrong password with 401 and badauth", "noip",
        {.target = nic + "203.0.113.7", .headers = wrong},
        {.status = 401, .answer = "badauth", .challenge = "Basic"});
    row("No-IP sets the address sent as myip", "noip", {.target = nic + "203.0.113.7", .headers = right},
        {.answer = "good 203.0.113.7", .address = sent});
    row("No-IP takes the source address when the address comes as ip", "noip",
        {.target = "/nic/update?hostname=home.example.com&ip=203.0.113.7", .headers = right},
        {.answer = "good 127.0.0.1", .address = source});
    row("No-IP takes myip and myipv6 together", "noip",
        {.target = nic + "203.0.113.7&myipv6=2001:db8::7", .headers = right},
        {.answer = "good 203.0.113.7,2001:db8::7", .address = sent, .addressV6 = sentV6});
    row("No-IP answers nochg when the record holds the address", "noip",
        {.target = nic + "198.51.100.4", .headers = right}, {.answer = "nochg 198.51.100.4"});
    row("No-IP refuses a client without a User-Agent", "noip",
        {.target = nic + "203.0.113.7", .headers = right, .agent = false}, {.answer = "badagent"});
    row("No-IP answers nohost for a host not on the account", "noip",
        {.target = "/nic/update?hostname=work.example.com&myip=203.0.113.7", .headers = right},
        {.answer = "nohost"});
    row("No-IP answers abuse when blocked", "noip", {.target = nic + "203.0.113.7", .headers = right},
        {.answer = "abuse", .blocked = true});
    row("Dyn challenges a request without an account", "dyn", {.target = nic + "203.0.113.7"},
        {.status = 401, .answer = "badauth", .challenge = "Basic"});
    row("Dyn answers a wrong password with badauth and 200", "dyn",
        {.target = nic + "203.0.113.7", .headers = wrong}, {.answer = "badauth"});
    row("Dyn's v3 update takes an address of each family in myip", "dyn",
        {.target = "/v3/update?hostname=home.example.com&myip=203.0.113.7,2001:db8::7", .headers = right},
        {.answer = "good 203.0.113.7,2001:db8::7", .address = sent, .addressV6 = sentV6});
    row("Dyn uses its best guess for a malformed address", "dyn",
        {.target = nic + "203.0.113", .headers = right}, {.answer = "good 127.0.0.1", .address = source});
    row("Dyn refuses an unknown system with badsys", "dyn",
        {.target = nic + "203.0.113.7&system=other", .headers = right}, {.answer = "badsys"});
    row("Dyn answers notfqdn without a host", "dyn",
        {.target = "/nic/update?myip=203.0.113.7", .headers = right}, {.answer = "notfqdn"});
    row("DNS-O-Matic answers a wrong password with badauth and 200", "dnsomatic",
        {.target = nic + "203.0.113.7", .headers = wrong}, {.answer = "badauth"});
    row("DNS-O-Matic updates every service when no host is named", "dnsomatic",
        {.target = "/nic/update?myip=203.0.113.7", .headers = right},
        {.answer = "good 203.0.113.7", .address = sent});
    row("OVH refuses a wrong password with a bare 401", "ovh",
        {.target = nic + "203.0.113.7&system=dyndns", .headers = basic("example.com-home", "secret")},
        {.status = 401, .answer = "401 Unauthorized", .challenge = "Basic"});
    row("OVH wants system=dyndns", "ovh",
        {.target = nic + "203.0.113.7", .headers = basic("example.com-home", "s3cret")},
        {.answer = "badsys"});
    row("OVH answers under its older host name too", "ovh",
        {.target = nic + "203.0.113.7&system=dyndns",
         .headers = basic("example.com-home", "s3cret"),
         .host = QStringLiteral("www.ovh.com")},
        {.answer = "good 203.0.113.7", .address = sent});
    row("Strato names the client's address after badauth", "strato",
        {.target = nic + "203.0.113.7", .headers = basic("example.com", "secret")},
        {.answer = "badauth 127.0.0.1"});
    row("Strato answers badagent 0.0.0.0 to a client without a User-Agent", "strato",
        {.target = nic + "203.0.113.7", .headers = basic("example.com", "s3cret"), .agent = false},
        {.answer = "badagent 0.0.0.0"});
    row("all-inkl sets its user's own record to the source address when nothing is sent", "allinkl",
        {.target = "/", .headers = right}, {.answer = "good 127.0.0.1", .address = source});
    row("all-inkl reads IPv6 from myip6", "allinkl",
        {.target = "/?myip=203.0.113.7&myip6=2001:db8::7", .headers = right},
        {.answer = "good 203.0.113.7,2001:db8::7", .address = sent, .addressV6 = sentV6});
    row("all-inkl challenges a wrong password", "allinkl", {.target = "/?myip=203.0.113.7", .headers = wrong},
        {.status = 401, .challenge = "Basic"});
    row("dynv6's dyndns2 door takes the token as the password under any user", "dynv6-dyndns2",
        {.target = nic + "203.0.113.7", .headers = basic("none", "s3cret")},
        {.answer = "good 203.0.113.7", .address = sent});
    row("dynv6's dyndns2 door takes an empty myip for the source address", "dynv6-dyndns2",
        {.target = nic, .headers = basic("none", "s3cret")}, {.answer = "good 127.0.0.1", .address = source});
    row("Dynu takes the account from the query", "dynu",
        {.target = nic + "203.0.113.7&username=demo&password=s3cret"},
        {.answer = "good 203.0.113.7", .address = sent});
    row("Dynu takes the password's MD5", "dynu",
        {.target = nic + "203.0.113.7&username=demo&password=" +
                   QCryptographicHash::hash("s3cret", QCryptographicHash::Md5).toHex()},
        {.answer = "good 203.0.113.7", .address = sent});
    row("Dynu answers a wrong password with badauth and 200", "dynu",
        {.target = nic + "203.0.113.7", .headers = wrong}, {.answer = "badauth"});
    row("Dynu leaves the A record alone for myip=no", "dynu",
        {.target = nic + "no&myipv6=2001:db8::7", .headers = right},
        {.answer = "good 2001:db8::7", .addressV6 = sentV6});
    row("Hurricane Electric takes the record's key as password beside the host", "he",
        {.target = nic + "203.0.113.7&password=s3cret"}, {.answer = "good 203.0.113.7", .address = sent});
    row("Hurricane Electric refuses a wrong key with 401 and badauth", "he",
        {.target = nic + "203.0.113.7&password=secret"},
        {.status = 401, .answer = "badauth", .challenge = "Basic"});
    row("Hurricane Electric takes an IPv6 address in myip", "he",
        {.target = nic + "2001:db8::7", .headers = basic("home.example.com", "s3cret")},
        {.answer = "good 2001:db8::7", .addressV6 = sentV6});
    row("Hurricane Electric answers interval when blocked", "he",
        {.target = nic + "203.0.113.7&password=s3cret"}, {.answer = "interval", .blocked = true});
    row("IPv64 takes the token as key", "ipv64",
        {.target = "/nic/update?key=s3cret&domain=home.example.com&ip=203.0.113.7"},
        {.answer = "good 203.0.113.7", .address = sent});
    row("IPv64 takes the token as a Bearer header", "ipv64",
        {.target = "/nic/update?domain=home.example.com&ip6=2001:db8::7",
         .headers = "Authorization: Bearer s3cret\r\n"},
        {.answer = "good 2001:db8::7", .addressV6 = sentV6});
    row("IPv64 refuses a wrong token with 401", "ipv64",
        {.target = "/nic/update?key=secret&domain=home.example.com&ip=203.0.113.7"}, {.status = 401});
    row("Spdyn signs an update token in with the host as the user", "spdyn",
        {.target = nic + "203.0.113.7&user=home.example.com&pass=s3cret"},
        {.answer = "good 203.0.113.7", .address = sent});
    row("Spdyn replaces a private address with the source address", "spdyn",
        {.target = nic + "192.168.1.2", .headers = right}, {.answer = "good 127.0.0.1", .address = source});
    row("Spdyn answers nohost with 400", "spdyn",
        {.target = "/nic/update?hostname=work.example.com&myip=203.0.113.7", .headers = right},
        {.status = 400, .answer = "nohost"});
    row("selfHOST answers 204 when the address has not changed", "selfhost",
        {.target = nic + "198.51.100.4", .headers = right}, {.status = 204});
    row("selfHOST refuses a private address with 412", "selfhost",
        {.target = nic + "10.1.2.3", .headers = right}, {.status = 412});
    row("selfHOST refuses a wrong password with 401", "selfhost",
        {.target = nic + "203.0.113.7", .headers = wrong},
        {.status = 401, .answer = "badauth", .challenge = "Basic"});
    row("ChangeIP answers 200 Successful Update", "changeip",
        {.target = "/nic/update?hostname=home.example.com&ip=203.0.113.7", .headers = right},
        {.answer = "200 Successful Update", .address = sent});
    row("ChangeIP answers 422 for a host not on the account", "changeip",
        {.target = "/nic/update?hostname=work.example.com&ip=203.0.113.7", .headers = right},
        {.status = 422});
    row("ChangeIP refuses a wrong password with 401", "changeip",
        {.target = nic + "203.0.113.7&u=demo&p=secret"}, {.status = 401, .challenge = "Basic"});
}

void addUrlRows()
{
    row("deSEC challenges for Token, not Basic, without an account", "desec",
        {.target = "/?hostname=home.example.com&myip=203.0.113.7"},
        {.status = 401, .answer = "badauth", .challenge = "Token"});
    row("deSEC keeps the AAAA record when told to preserve it", "desec",
        {.target = "/nic/update?hostname=home.example.com&myipv4=203.0.113.7&myipv6=preserve",
         .headers = desecAccount},
        {.answer = "good", .address = sent});
    row("deSEC deletes the AAAA record when only myip is sent", "desec",
        {.target = "/update?hostname=home.example.com&myip=203.0.113.7", .headers = desecAccount},
        {.answer = "good", .address = sent, .addressV6 = deleted});
    row("deSEC deletes the A record for an empty myipv4", "desec",
        {.target = "/?hostname=home.example.com&myipv4=&myipv6=preserve", .headers = desecAccount},
        {.answer = "good", .address = deleted});
    row("deSEC answers nohost with 404 for a name not on the account", "desec",
        {.target = "/?hostname=work.example.com&myip=203.0.113.7", .headers = desecAccount},
        {.status = 404, .answer = "nohost"});
    row("deSEC throttles with 429 when blocked", "desec",
        {.target = "/?hostname=home.example.com&myip=203.0.113.7", .headers = desecAccount},
        {.status = 429, .blocked = true});
    row("dynv6 refuses a wrong token with 401", "dynv6",
        {.target = "/api/update?token=secret&zone=home.example.com&ipv4=203.0.113.7"}, {.status = 401});
    row("dynv6 leaves the record as it is when the address comes as myip", "dynv6",
        {.target = "/api/update?token=s3cret&zone=home.example.com&myip=203.0.113.7"},
        {.answer = "addresses unchanged"});
    row("dynv6 sets the address sent as ipv4", "dynv6",
        {.target = "/api/update?token=s3cret&hostname=home.example.com&ipv4=203.0.113.7"},
        {.answer = "addresses updated", .address = sent});
    row("dynv6 answers 404 for a zone not on the account", "dynv6",
        {.target = "/api/update?token=s3cret&zone=work.example.com&ipv4=203.0.113.7"}, {.status = 404});
    row("YDNS answers a request without Basic with 400", "ydns",
        {.target = "/api/v1/update/?host=home.example.com&ip=203.0.113.7"}, {.status = 400});
    row("YDNS refuses a wrong password with 401", "ydns",
        {.target = "/api/v1/update/?host=home.example.com&ip=203.0.113.7", .headers = wrong},
        {.status = 401, .answer = "badauth", .challenge = "Basic"});
    row("YDNS takes the source address when the address comes as myip", "ydns",
        {.target = "/api/v1/update/?host=home.example.com&myip=203.0.113.7", .headers = right},
        {.answer = "good", .address = source});
    row("YDNS takes an IPv6 address in ip", "ydns",
        {.target = "/api/v1/update/?host=home.example.com&ip=2001:db8::7", .headers = right},
        {.answer = "good", .addressV6 = sentV6});
    row("YDNS's update URL answers 404 for a wrong token", "ydns-token",
        {.target = "/hosts/update/secret?ip=203.0.113.7"}, {.status = 404});
    row("YDNS's update URL sets the address sent as ip", "ydns-token",
        {.target = "/hosts/update/s3cret?ip=203.0.113.7"}, {.answer = "good", .address = sent});
    row("DuckDNS answers KO with 200 for a wrong token", "duckdns",
        {.target = "/update?domains=myhome&token=secret&ip=203.0.113.7"}, {.answer = "KO"});
    row("DuckDNS takes the domain without its suffix", "duckdns",
        {.target = "/update?domains=myhome&token=s3cret&ip=203.0.113.7"}, {.answer = "OK", .address = sent});
    row("DuckDNS takes the source address when the address comes as myip", "duckdns",
        {.target = "/update?domains=myhome.duckdns.org&token=s3cret&myip=203.0.113.7"},
        {.answer = "OK", .address = source});
    row("DuckDNS tells NOCHANGE in its verbose answer", "duckdns",
        {.target = "/update?domains=myhome&token=s3cret&ip=198.51.100.4&verbose=true"},
        {.answer = "OK\n198.51.100.4\n2001:db8::4\nNOCHANGE"});
    row("DuckDNS takes the domain, token and address in the path", "duckdns",
        {.target = "/update/myhome/s3cret/203.0.113.7"}, {.answer = "OK", .address = sent});
    row("FreeDNS answers a wrong token with 200 and ERROR", "freedns",
        {.target = "/dynamic/update.php?secret&address=203.0.113.7"},
        {.answer = "ERROR: Unable to locate this record"});
    row("FreeDNS sets the address sent as address", "freedns",
        {.target = "/dynamic/update.php?s3cret&address=203.0.113.7"},
        {.answer = "Updated 1 host(s) home.example.com to 203.0.113.7", .address = sent});
    row("FreeDNS's unchanged answer starts with ERROR", "freedns",
        {.target = "/dynamic/update.php?s3cret&address=198.51.100.4"},
        {.answer = "ERROR: Address 198.51.100.4 has not changed."});
    row("FreeDNS takes the source address when the address comes as ip", "freedns",
        {.target = "/dynamic/update.php?s3cret&ip=203.0.113.7"},
        {.answer = "to 127.0.0.1", .address = source});
    row("FreeDNS v2 answers 404 for a wrong token", "freedns-v2",
        {.target = "/u/secret/?address=203.0.113.7"}, {.status = 404});
    row("FreeDNS v2 wants the slash after the token", "freedns-v2",
        {.target = "/u/s3cret?address=203.0.113.7"}, {.status = 404});
    row("FreeDNS v2 sets the address sent as address", "freedns-v2",
        {.target = "/u/s3cret/?address=203.0.113.7"},
        {.answer = "Updated home.example.com from 198.51.100.4 to 203.0.113.7", .address = sent});
    row("FreeDNS v2 tells when nothing changed", "freedns-v2", {.target = "/u/s3cret/?address=198.51.100.4"},
        {.answer = "No IP change detected for home.example.com with IP 198.51.100.4"});
    row("Namecheap answers a wrong password in XML with 200", "namecheap",
        {.target = "/update?host=home&domain=example.com&password=secret&ip=203.0.113.7"},
        {.answer = "<Err1>Passwords do not match</Err1>"});
    row("Namecheap wants the host relative to the domain", "namecheap",
        {.target = "/update?host=home.example.com&domain=example.com&password=s3cret&ip=203.0.113.7"},
        {.answer = "<Err1>No Records updated. A record not Found;</Err1>"});
    row("Namecheap answers Domain name not found for the host sent as the domain", "namecheap",
        {.target = "/update?host=home&domain=home.example.com&password=s3cret&ip=203.0.113.7"},
        {.answer = "<Err1>Domain name not found</Err1>"});
    row("Namecheap sets the address sent as ip", "namecheap",
        {.target = "/update?host=home&domain=example.com&password=s3cret&ip=203.0.113.7"},
        {.answer = "<IP>203.0.113.7</IP>\r\n  <ErrCount>0</ErrCount>", .address = sent});
}

void addApiRows()
{
    row("Cloudflare refuses a wrong token with 403 and 9109", "cloudflare",
        {.target = "/client/v4/zones?name=example.com", .headers = "Authorization: Bearer secret\r\n"},
        {.status = 403, .answer = R"("code":9109)"});
    row("Cloudflare refuses a token without its Bearer scheme with 6003", "cloudflare",
        {.target = "/client/v4/zones?name=example.com", .headers = "Authorization: s3cret\r\n"},
        {.status = 400, .answer = R"("code":6003)"});
    row("Cloudflare lists the A record by type and name", "cloudflare",
        {.target = "/client/v4/zones/{zone}/dns_records?type=A&name=home.example.com", .headers = bearer},
        {.answer = R"("content":"198.51.100.4")"});
    row("Cloudflare changes the record's content with PATCH", "cloudflare",
        {.target = "/client/v4/zones/{zone}/dns_records/{record}",
         .headers = bearer + "Content-Type: application/json\r\n",
         .method = "PATCH",
         .body = R"({"content":"203.0.113.7"})"},
        {.answer = R"("success":true)", .address = sent});
    row("Cloudflare refuses an IPv6 address for an A record with 9005", "cloudflare",
        {.target = "/client/v4/zones/{zone}/dns_records/{record}",
         .headers = bearer,
         .method = "PATCH",
         .body = R"({"content":"2001:db8::7"})"},
        {.status = 400, .answer = R"("code":9005)"});
    row("Cloudflare answers 81044 for a record it does not have", "cloudflare",
        {.target = "/client/v4/zones/{zone}/dns_records/0123456789abcdef",
         .headers = bearer,
         .method = "PATCH",
         .body = R"({"content":"203.0.113.7"})"},
        {.status = 404, .answer = R"("code":81044)"});
    row("Porkbun refuses a wrong secret key with 400 and its message", "porkbun",
        {.target = "/api/json/v3/dns/retrieveByNameType/example.com/A/home",
         .method = "POST",
         .body = R"({"apikey":"pk1_demo","secretapikey":"secret"})"},
        {.status = 400, .answer = "Invalid API key. (002)"});
    row("Porkbun wants its keys in the body, not the query", "porkbun",
        {.target =
             "/api/json/v3/dns/retrieveByNameType/example.com/A/home?apikey=pk1_demo&secretapikey=s3cret",
         .method = "POST",
         .body = "{}"},
        {.status = 400, .answer = "Invalid API key. (002)"});
    row("Porkbun reads the record by name and type", "porkbun",
        {.target = "/api/json/v3/dns/retrieveByNameType/example.com/A/home",
         .method = "POST",
         .body = "{" + porkbunKeys + "}"},
        {.answer = R"("content":"198.51.100.4")"});
    row("Porkbun edits the record by name and type", "porkbun",
        {.target = "/api/json/v3/dns/editByNameType/example.com/A/home",
         .method = "POST",
         .body = "{" + porkbunKeys + R"(,"content":"203.0.113.7"})"},
        {.answer = R"("status":"SUCCESS")", .address = sent});
    row("Porkbun refuses a subdomain where the domain goes", "porkbun",
        {.target = "/api/json/v3/dns/editByNameType/home.example.com/A",
         .method = "POST",
         .body = "{" + porkbunKeys + R"(,"content":"203.0.113.7"})"},
        {.status = 400, .answer = "Invalid domain."});
    row("Gandi refuses a wrong token with 401", "gandi",
        {.target = "/v5/livedns/domains/example.com/records/home/A",
         .headers = "Authorization: Bearer secret\r\n"},
        {.status = 401, .answer = R"("object":"HTTPUnauthorized")"});
    row("Gandi answers the PUT of a record set with 201", "gandi",
        {.target = "/v5/livedns/domains/example.com/records/home/A",
         .headers = bearer,
         .method = "PUT",
         .body = R"({"rrset_values":["203.0.113.7"],"rrset_ttl":300})"},
        {.status = 201, .answer = "DNS Record Created", .address = sent});
    row("Gandi keeps a record set put under the full name apart from the record", "gandi",
        {.target = "/v5/livedns/domains/example.com/records/home.example.com/A",
         .headers = bearer,
         .method = "PUT",
         .body = R"({"rrset_values":["203.0.113.7"]})"},
        {.status = 201});
    row("Gandi answers 404 for a record set it does not have", "gandi",
        {.target = "/v5/livedns/domains/example.com/records/work/A", .headers = bearer}, {.status = 404});
    row("GoDaddy refuses a wrong secret with 401", "godaddy",
        {.target = "/v1/domains/example.com/records/A/home",
         .headers = "Authorization: sso-key demo-key:secret\r\n"},
        {.status = 401, .answer = "UNABLE_TO_AUTHENTICATE"});
    row("GoDaddy answers a PUT with 200 and an empty body", "godaddy",
        {.target = "/v1/domains/example.com/records/A/home",
         .headers = "Authorization: sso-key demo-key:s3cret\r\n",
         .method = "PUT",
         .body = R"([{"data":"203.0.113.7","ttl":600}])"},
        {.address = sent});
    row("GoDaddy refuses a record that is not in an array with 422", "godaddy",
        {.target = "/v1/domains/example.com/records/A/home",
         .headers = "Authorization: sso-key demo-key:s3cret\r\n",
         .method = "PUT",
         .body = R"({"data":"203.0.113.7"})"},
        {.status = 422, .answer = "INVALID_BODY"});
    row("GoDaddy answers an account not allowed the API with 403", "godaddy",
        {.target = "/v1/domains/example.com/records/A/home",
         .headers = "Authorization: sso-key demo-key:s3cret\r\n"},
        {.status = 403, .answer = "ACCESS_DENIED", .blocked = true});
    row("A request for another provider's host is misdirected", "noip",
        {.target = nic + "203.0.113.7", .headers = right, .host = QStringLiteral("www.duckdns.org")},
        {.status = 421});
    row("A request by address rather than by name is misdirected", "duckdns",
        {.target = "/update?domains=myhome&token=s3cret&ip=203.0.113.7", .host = QStringLiteral("127.0.0.1")},
        {.status = 421});
}
