// The program's only window and its handlers.
#include "app/form1.h"

#include "app/accessibility.h"
#include "app/captionfont.h"
#include "app/twips.h"
#include "app/webbrowser.h"
#include "check/examplesettings.h"
#include "check/fieldproblem.h"
#include "check/ipv6support.h"
#include "check/ipv6words.h"
#include "common/companionfile.h"
#include "settings/fileowners.h"
#include "settings/saveadvice.h"
#include "settings/settingslocation.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace parlowen {

namespace {
// Client area and control geometry in twips, relative to each control's
// container, as the window was designed.
constexpr int ClientWidth = 7260;
constexpr int ClientHeight = 2280;

const QString AboutBlank = QStringLiteral("about:blank");

template <typename Widget>
Widget* place(const Twips& twips, Widget* widget, const char* name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twips.rect(left, top, width, height));
    return widget;
}

// The caption's "&" marks its Alt key; the label names its field for
// screen readers and moves the focus there on that key.
QLabel* makeLabel(const Twips& twips, QWidget* parent, const char* name, const QString& caption, int left,
                  int top, int width, int height, QWidget* buddy)
{
    auto* label = place(twips, new QLabel(caption, parent), name, left, top, width, height);
    label->setBuddy(buddy);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* makeField(const Twips& twips, QWidget* parent, const char* name, const QString& text, int left,
                     int top, int width, int height)
{
    auto* field = place(twips, new QLineEdit(text, parent), name, left, top, width, height);
    // The fields are typed into by hand and checked by eye: passwords are
    // shown as typed, and no field limits its length.
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}
} // namespace

Form1::Form1(QWidget* parent) : Form1(executableDirectory(), parent) {}

Form1::Form1(const QString& programDirectory, QWidget* parent)
    : QWidget(parent), m_twips(Twips::forDesktopFont(font())), m_programDirectory(programDirectory)
{
    setWindowTitle(QStringLiteral("Parlowen by Kestrune"));
    setWindowIcon(QIcon(QStringLiteral(":/parlowen/parlowen.png")));
    setFixedSize(m_twips.toPixels(ClientWidth), m_twips.toPixels(ClientHeight));
    createControls();
    applyTabOrder();
    fitCaptions();

    connect(Command1, &QPushButton::clicked, this, &Form1::GoClicked);
    connect(WebBrowser1, &WebBrowser::DocumentComplete, this, &Form1::PageCompleted);
    connect(WebBrowser1, &WebBrowser::StatusTextChange, this, &Form1::StatusTextChanged);
    m_check = new CheckRun(*WebBrowser1->engine(),
                           companionFile(QStringLiteral("parlowen-upnp"), m_programDirectory), this);
    connect(m_check, &CheckRun::addressFound, this, &Form1::WanAddressFound);
    connect(m_check, &CheckRun::finished, this, &Form1::CheckFinished);
    // Only ever saves a moment of the next check's time: a failure to keep
    // it is not worth a word.
    connect(m_check, &CheckRun::gatewayAnswered, this, [this](const GatewayControl& gateway) {
        (void)rememberGateway(stateFileBeside(IniFile), IniFile, gateway.controlUrl, gateway.serviceType);
    });

    LoadWindow();
    for (const ProfileEntry& entry : entriesInFields())
        m_startValues << entry.value;
}

void Form1::createControls()
{
    WebBrowser1 = place(m_twips, new WebBrowser(this, m_twips), "WebBrowser1", 2040, 720, 255, 255);
    hideFromAccessibility(WebBrowser1);
    txtRouterPass = makeField(m_twips, this, "txtRouterPass", {}, 120, 360, 3855, 285);
    Label1 =
        makeLabel(m_twips, this, "Label1", tr("Router Admin &Password:"), 120, 120, 3855, 255, txtRouterPass);
    // Examples, which the user replaces with their router's, their provider's update script and their own
    // host name.
    const CheckSettings examples = exampleSettings();
    txtRouterIP = makeField(m_twips, this, "txtRouterIP", examples.routerAddress, 840, 720, 1095, 285);
    Label3 = makeLabel(m_twips, this, "Label3", tr("Router &IP:"), 120, 735, 735, 255, txtRouterIP);
    txtWANIP = makeField(m_twips, this, "txtWANIP", {}, 120, 1320, 3855, 285);
    Label2 = makeLabel(m_twips, this, "Label2", tr("&WAN IP:"), 120, 1080, 3855, 255, txtWANIP);
    Command1 = place(m_twips, new QPushButton(tr("&Go"), this), "Command1", 1440, 1800, 1215, 375);
    // Drawn as the default; Return in a field presses it (keyPressEvent).
    Command1->setDefault(true);
    Frame1 = place(m_twips, new QGroupBox(tr("Service details"), this), "Frame1", 4080, 120, 3135, 2055);

    txtService = makeField(m_twips, Frame1, "txtService", examples.serviceUrl, 960, 240, 2055, 285);
    Label7 = makeLabel(m_twips, Frame1, "Label7", tr("Service &URL:"), 120, 240, 855, 375, txtService);
    txtUserName = makeField(m_twips, Frame1, "txtUserName", {}, 960, 720, 2055, 285);
    Label4 = makeLabel(m_twips, Frame1, "Label4", tr("User &Name:"), 120, 720, 855, 255, txtUserName);
    txtServicePass = makeField(m_twips, Frame1, "txtServicePass", {}, 960, 1080, 2055, 285);
    Label5 = makeLabel(m_twips, Frame1, "Label5", tr("Pa&ssword:"), 120, 1080, 855, 255, txtServicePass);
    // Scratch field for the update address: only the program writes it. A
    // box this tiny would look like a smudge and take a Tab press, so it is
    // not shown.
    txtURL = makeField(m_twips, Frame1, "txtURL", {}, 480, 1320, 150, 195);
    hideFromAccessibility(txtURL);
    txtURL->setReadOnly(true);
    txtURL->hide();
    txtHost = makeField(m_twips, Frame1, "txtHost", examples.host, 960, 1560, 2055, 285);
    Label6 = makeLabel(m_twips, Frame1, "Label6", tr("&Hostname:"), 120, 1560, 855, 255, txtHost);
}

void Form1::applyTabOrder()
{
    // The fields and the button in the order of their designed tab indices
    // (1, 3, 5, 6, 9, 11, 13, 15, 16); labels, the frame, the unseen browser
    // and the hidden scratch field take no focus.
    QWidget* const order[] = {txtRouterPass,  txtWANIP, Command1, txtRouterIP, txtUserName,
                              txtServicePass, txtHost,  txtURL,   txtService};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    txtRouterPass->setFocus();
}

void Form1::fitCaptions()
{
    std::vector<CaptionBox> boxes;
    for (const QLabel* label : findChildren<QLabel*>())
        boxes.push_back({label->text(), label->size(), label->wordWrap()});
    // A field must show a whole line of text inside its frame.
    const int frameAllowance = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 2;
    boxes.push_back(
        {QStringLiteral("Ágy"), txtRouterPass->size() - QSize(frameAllowance, frameAllowance), false});
    // The frame's title runs along its top edge, clear of the corners.
    boxes.push_back({Frame1->title(), Frame1->size() - QSize(4 * frameAllowance, 0), false});
    boxes.push_back({Command1->text(), Command1->size(), false});
    setFont(fontFittingCaptions(font(), boxes, m_twips.scale()));
}

void Form1::LoadWindow()
{
    // The browser does its work unseen: move it left by its own width, just
    // outside the client area.
    WebBrowser1->Move(-WebBrowser1->Width());

    IniFile = chooseSettingsFile(currentSurroundings(m_programDirectory));
    m_settings.SetSettingsFile(IniFile);
    // Whoever wonders where their settings went finds out by pointing at the window.
    setToolTip(tr("Settings file: %1").arg(QDir::toNativeSeparators(IniFile)));
    removeAbandonedSavesOf(IniFile, stateFileBeside(IniFile));
    if (const auto last = readLastAcceptance(stateFileBeside(IniFile));
        last && last.value() && last.value()->hasAcceptance())
        showLastAcceptance(*last.value());
    // One read for all six: a save landing in between cannot mix two files.
    const auto read = m_settings.ReadSettings();
    // A folder or a pipe by that name is no settings file: the window starts
    // as without one, and the first save says what is in the way.
    const bool notAFile =
        !read && (read.error() == FileError::IsAFolder || read.error() == FileError::NotAFile);
    if (notAFile)
        return;
    if (!read) {
        // Defaults, and no check, beat a check made of half a file.
        m_readProblem = tr("Your settings could not be read from\n%1").arg(QDir::toNativeSeparators(IniFile));
        m_readProblemDetail = readFailureExplanation(read.failure(), fileOwnersOf(IniFile));
        m_unreadAtStart = true;
        return;
    }
    // Without a settings file the window keeps its defaults and waits for Go.
    if (!read.value())
        return;
    for (const SettingKey& entry : SettingKeys)
        fieldFor(entry.setting)->setText((*read.value())[entry.setting]);
    m_askUpnp = read.value()->askUpnp;
    m_ipv6Value = read.value()->ipv6;
    m_checkWhenShown = true;
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_checkWhenShown && m_readProblem.isEmpty())
        return;
    // Shown is not yet on screen: the window system exposes the window a
    // little later, and a box before that would stand over nothing. A
    // window started minimised is never exposed, so it waits a second at most.
    windowHandle()->installEventFilter(this);
    QTimer::singleShot(std::chrono::seconds(1), this, &Form1::runStartupCheck);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed())
        QTimer::singleShot(0, this, &Form1::runStartupCheck);
    return QWidget::eventFilter(watched, event);
}

void Form1::runStartupCheck()
{
    windowHandle()->removeEventFilter(this);
    if (!m_readProblem.isEmpty())
        showMessage(this, std::exchange(m_readProblem, {}), MessageIcon::Critical,
                    std::exchange(m_readProblemDetail, {}));
    if (std::exchange(m_checkWhenShown, false))
        OpenRouterLog();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A check still loading would report over a window that is going away,
    // and one that was yet to start would close the box a failed save opens.
    cancelCheck();
    m_checkWhenShown = false;
    m_readProblem.clear();
    if (WindowClosing())
        event->accept();
    else
        event->ignore();
}

void Form1::keyPressEvent(QKeyEvent* event)
{
    // Fields pass on the Return they do not use; a window has no dialog to
    // route it to its default button, so it is done here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Command1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

QLineEdit* Form1::fieldFor(Setting setting) const
{
    switch (setting) {
    case Setting::RouterPassword:
        return txtRouterPass;
    case Setting::RouterAddress:
        return txtRouterIP;
    case Setting::ServiceUrl:
        return txtService;
    case Setting::UserName:
        return txtUserName;
    case Setting::ServicePassword:
        return txtServicePass;
    case Setting::Host:
        return txtHost;
    }
    Q_UNREACHABLE();
}

void Form1::GoClicked()
{
    OpenRouterLog();
}

void Form1::OpenRouterLog()
{
    // A new check replaces the one in flight, and whatever that one still
    // had to say; its load is replaced by this one's.
    closeMessages(this);
    ++m_checkNumber;
    if (const std::optional<FieldRefusal> refusal = fieldProblem()) {
        cancelCheck();
        if (report(refusal->message, refusal->icon, refusal->detail)) {
            refusal->field->setFocus(Qt::OtherFocusReason);
            refusal->field->selectAll();
        }
        return;
    }
    showBusy(true);
    m_check->start(settingsInFields());
}

std::optional<Form1::FieldRefusal> Form1::fieldProblem() const
{
    const std::optional<Ipv6Mode> ipv6 = parseIpv6Mode(m_ipv6Value);
    if (!ipv6)
        return FieldRefusal{ipv6ValueProblem(m_ipv6Value).value_or(QString()), txtService};
    // IPv6=only never asks the router.
    if (const std::optional<FieldProblem> problem = routerAddressProblem(txtRouterIP->text());
        problem && *ipv6 != Ipv6Mode::Only) {
        return FieldRefusal{tr("The router address \"%1\" %2.").arg(txtRouterIP->text(), toString(*problem)),
                            txtRouterIP};
    }
    // Settings no one has filled in yet: what to put where, in place of a
    // check that could never reach a provider.
    if (isExampleServiceUrl(txtService->text())) {
        const CheckSettings settings = fieldValues();
        const std::vector<FieldToFill> fields = fieldsToFill(settings);
        return FieldRefusal{examplesMessage(settings), fieldFor(fields.front().field), examplesDetail(fields),
                            MessageIcon::Information};
    }
    for (const auto& [refused, problem] :
         {std::pair{hasFragment(txtService->text()), FieldProblem::ServiceUrlHasFragment},
          std::pair{isClosedProvider(txtService->text()), FieldProblem::ServiceUrlOfClosedProvider}}) {
        if (refused)
            return FieldRefusal{tr("The service URL \"%1\" %2.").arg(txtService->text(), toString(problem)),
                                txtService};
    }
    if (const std::optional<QString> refusal = ipv6Refusal(*ipv6, txtService->text()))
        return FieldRefusal{*refusal, txtService};
    return std::nullopt;
}

CheckSettings Form1::fieldValues() const
{
    CheckSettings settings{txtRouterPass->text(),  txtRouterIP->text(), txtService->text(), txtUserName->text(),
                           txtServicePass->text(), txtHost->text(),     m_askUpnp};
    settings.ipv6 = parseIpv6Mode(m_ipv6Value).value_or(Ipv6Mode::No);
    return settings;
}

CheckSettings Form1::settingsInFields() const
{
    CheckSettings settings = fieldValues();
    // Read afresh for each check: parlowen-check may have met another gateway since.
    if (const auto last = readLastAcceptance(stateFileBeside(IniFile)); last && last.value()) {
        settings.rememberedGateway = {last.value()->gatewayControlUrl, last.value()->gatewayServiceType};
        settings.acceptedIpv6 = last.value()->ipv6Address;
    }
    return settings;
}

void Form1::cancelCheck()
{
    m_check->cancel();
    showBusy(false);
}

void Form1::showBusy(bool busy)
{
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

bool Form1::report(const QString& text, MessageIcon icon, const QString& detail)
{
    const quint64 check = m_checkNumber;
    showMessage(this, text, icon, detail);
    return check == m_checkNumber;
}

void Form1::PageCompleted(const QString& url)
{
    m_check->PageCompleted(url);
}

void Form1::StatusTextChanged(const QString& text)
{
    m_check->StatusTextChanged(text);
}

void Form1::WanAddressFound(const QString& address)
{
    txtWANIP->setText(address);
    BuildUpdateURL();
    m_check->sendUpdate();
}

void Form1::BuildUpdateURL()
{
    txtURL->setText(m_check->updateUrl());
}

namespace {
// A success that is not one, an address the Internet cannot reach, is told
// under the warning icon.
MessageIcon verdictIcon(const CheckVerdict& verdict)
{
    if (verdict.kind != CheckVerdict::Kind::Accepted)
        return MessageIcon::Critical;
    return verdict.notPublic ? MessageIcon::Warning : MessageIcon::Information;
}
} // namespace

void Form1::CheckFinished(const CheckVerdict& verdict)
{
    showBusy(false);
    QStringList detail = verdict.details;
    if (verdict.kind == CheckVerdict::Kind::Accepted) {
        if (const std::optional<QString> warning = recordAcceptance(verdict))
            detail << *warning;
    }
    const bool stillOurs = report(verdict.message, verdictIcon(verdict), detail.join(QStringLiteral("\n\n")));
    // The empty page ends a check that reached the provider, unless a newer
    // press has taken over the browser meanwhile.
    if (stillOurs && verdict.kind != CheckVerdict::Kind::NoAddress)
        WebBrowser1->Navigate2(AboutBlank);
}

std::optional<QString> Form1::recordAcceptance(const CheckVerdict& verdict)
{
    const LastAcceptance last = acceptanceOf({verdict.sentIpv4, verdict.sentIpv6}, QDateTime::currentDateTimeUtc(),
                                             txtService->text(), txtUserName->text(), txtHost->text());
    showLastAcceptance(last);
    if (const auto written = writeLastAcceptance(stateFileBeside(IniFile), IniFile, last); !written)
        return notRememberedWarning(written.failure());
    return std::nullopt;
}

void Form1::showLastAcceptance(const LastAcceptance& last)
{
    QStringList addresses{last.address, last.ipv6Address};
    addresses.removeAll(QString());
    txtWANIP->setToolTip(
        tr("Last accepted by the provider: %1, at %2")
            .arg(addresses.join(tr(" and ")),
                 QLocale().toString(last.acceptedAt.toLocalTime(), QLocale::ShortFormat)));
}

} // namespace parlowen
