#include "app/tolvex_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressDialog>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <map>

#include "app/host_dialogs.h"
#include "app/key_map.h"
#include "app/map_window.h"
#include "app/panel_pictures.h"
#include "app/qt_text.h"
#include "app/quick_help_window.h"
#include "app/tile_source.h"
#include "config/settings_file.h"
#include "control/keyboard.h"
#include "links/ozi_api_link.h"
#include "tracks/track_loader.h"

namespace tolvex {
namespace {

// Pixel sizes of the 12, 8 and 10 point fonts on a 96 dpi panel, so the texts fit the positions
// the mouse regions are measured against whatever the screen's own resolution.
constexpr int FixFontPixels = 16;
constexpr int StatusFontPixels = 11;
constexpr int ReplayFontPixels = 13;
constexpr int SeparatorY = 132;

struct ButtonPlace {
    int Id;
    ButtonFace Face;
    QRect Geometry;
};
constexpr int ButtonRowY = 84;
constexpr ButtonPlace RunStateButtons[] = {
    {PanelControl::Run, ButtonFace::Run, QRect(6, ButtonRowY, 38, 38)},
    {PanelControl::Pause, ButtonFace::Pause, QRect(46, ButtonRowY, 38, 38)},
    {PanelControl::Stop, ButtonFace::Stop, QRect(86, ButtonRowY, 38, 38)},
    {PanelControl::Help, ButtonFace::Help, QRect(126, ButtonRowY, 38, 38)},
    {PanelControl::FileOpen, ButtonFace::FileOpen, QRect(4, 136, 22, 20)},
};

// The track-mode bar: the four mode buttons, the loop and the direction button.
struct ModePlace {
    int Id;
    QRect Geometry;
};
constexpr int ModeRowY = 182;
constexpr ModePlace ModeButtons[] = {
    {PanelControl::ModeFree, QRect(6, ModeRowY, 30, 30)},   {PanelControl::ModeP, QRect(40, ModeRowY, 30, 30)},
    {PanelControl::ModeM, QRect(74, ModeRowY, 30, 30)},     {PanelControl::ModeS, QRect(108, ModeRowY, 30, 30)},
    {PanelControl::LoopButton, QRect(146, ModeRowY, 30, 30)}, {PanelControl::DirectionButton, QRect(180, ModeRowY, 30, 30)},
};

QColor ColorOf(ColorRef ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

// Faces of the same widths as the usual Windows faces: the texts then end where the mouse regions
// expect them.
struct FaceSubstitute {
    const char* Configured;
    const char* Substitute;
};
constexpr FaceSubstitute MetricTwins[] = {
    {"Times New Roman", "Liberation Serif"},
    {"Arial", "Liberation Sans"},
    {"Courier New", "Liberation Mono"},
};

// The configured face when the system has it, else its metric twin (Chinese glyphs then come from
// the font fallback), else a face that has the Chinese glyphs itself.
QString PanelFontFace(const std::string& configured)
{
    const QString face = FromUtf8(configured);
    if (!face.isEmpty() && QFontDatabase::hasFamily(face)) return face;
    for (const FaceSubstitute& twin : MetricTwins)
        if (face.compare(QString::fromUtf8(twin.Configured), Qt::CaseInsensitive) == 0 &&
            QFontDatabase::hasFamily(twin.Substitute))
            return twin.Substitute;
    for (const char* fallback : {"Noto Serif CJK SC", "Noto Sans CJK SC"})
        if (QFontDatabase::hasFamily(fallback)) return fallback;
    return QFont().family();
}

}  // namespace

CTolvexDlg::CTolvexDlg(std::string settingsPath, const std::string& virtualDir, QWidget* parent)
    : QWidget(parent), m_settingsPath(std::move(settingsPath))
{
    // Settings before anything that reads them: the virtual port folder and the API library.
    Settings settings;
    SimFix fix;
    std::string settingsProblem;
    const bool settingsRead = LoadSettings(m_settingsPath, settings, fix, settingsProblem);
    m_ports = std::make_unique<SystemPortFactory>(virtualDir.empty() ? settings.VirtualPortDir : virtualDir,
                                                  settings.VirtualPortGroup);
    m_ozi = MakeOziApiLink(settings);
    m_sim = std::make_unique<Simulator>(m_hostRelay, m_calendar, *m_ports, m_ozi.get());
    Engine& engine = m_sim->Core;
    engine.Options = settings;
    engine.Fix = fix;
    engine.State = RunState::Stopped;
    m_operator = std::make_unique<Operator>(engine, &m_sim->TrackReplay);
    m_operator->QuickHelpOpened = [this] { CreateQuickHelpWindow(); };
    m_operator->MapWindowToggled = [this] { ApplyMapWindow(); };
    m_fontFace = PanelFontFace(engine.Options.FontFaceName);

    setWindowTitle(CoreText(MainWindowTitle));
    setWindowIcon(AppIcon());
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    for (const ButtonPlace& place : RunStateButtons) MakeButton(place.Id, ButtonIcon(place.Face), place.Geometry);
    for (const ModePlace& place : ModeButtons) MakeButton(place.Id, QIcon(), place.Geometry)->hide();
    UpdateModeButtons();

    // Shrunk by the track-mode bar until a track is loaded.
    setFixedSize(PanelWidth, PanelFullHeight - TrackModeBarHeight);
    ApplyTopmost();

    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_sim->Core.TimerTick(); });
    m_timer.start();
    RefreshPanel(2);
    // The map comes back as it was left, once the panel is up.
    if (engine.Options.MapWindowOpen) QTimer::singleShot(0, this, [this] { ApplyMapWindow(); });
    // Said once the panel is up; the close then refuses to overwrite the file it could not read.
    if (!settingsRead)
        QTimer::singleShot(0, this, [this, settingsProblem] {
            ShowMessage(ToUtf8(tr("无法读取设置文件：\n%1\n\n%2\n\n本次使用默认设置。")
                                   .arg(FromUtf8(m_settingsPath), FromUtf8(settingsProblem))),
                        ToUtf8(tr("警告")), MessageIcon::Warning);
        });
}

CTolvexDlg::~CTolvexDlg()
{
    m_timer.stop();
    delete m_map;
    delete m_quickHelp;
    // A window torn down without its close (a test, a crash path) still releases the ports.
    if (!m_closed) m_sim->Core.Close();
}

QPushButton* CTolvexDlg::MakeButton(int controlId, const QIcon& icon, const QRect& geometry)
{
    auto* button = new QPushButton(this);
    button->setGeometry(geometry);
    button->setIcon(icon);
    button->setIconSize(geometry.size() - QSize(6, 6));
    // The panel keeps the keyboard: Space, Enter and Escape are simulator keys, not button presses.
    button->setFocusPolicy(Qt::NoFocus);
    button->setFlat(controlId >= PanelControl::ModeFree && controlId <= PanelControl::ModeS);
    if (const char* tip = ToolTipText(controlId)) button->setToolTip(CoreText(tip));
    connect(button, &QPushButton::clicked, this, [this, controlId] { PressButton(controlId); });
    button->setProperty("controlId", controlId);
    m_buttons[controlId] = button;
    return button;
}

void CTolvexDlg::PressButton(int controlId)
{
    Engine& engine = m_sim->Core;
    Replay& replay = m_sim->TrackReplay;
    switch (controlId) {
    case PanelControl::Run: engine.RunCommand(); break;
    case PanelControl::Pause: engine.PauseCommand(); break;
    case PanelControl::Stop: engine.StopCommand(); break;
    case PanelControl::Help: OpenQuickHelp(); break;
    case PanelControl::FileOpen: OpenTrackFileDialog(); break;
    case PanelControl::ModeFree: RunMenuCommand(MenuId::ModeFree); break;
    case PanelControl::ModeP: RunMenuCommand(MenuId::ModeP); break;
    case PanelControl::ModeM: RunMenuCommand(MenuId::ModeM); break;
    case PanelControl::ModeS: RunMenuCommand(MenuId::ModeS); break;
    case PanelControl::LoopButton:
        if (replay.Store().Loaded()) replay.NextLoopMode();
        break;
    case PanelControl::DirectionButton:
        if (replay.Store().Loaded()) replay.ToggleReverse();
        break;
    default: break;
    }
    RefreshPanel(1);
}

// --- Host ---

void CTolvexDlg::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    const QMessageBox::Icon shown = icon == MessageIcon::Error     ? QMessageBox::Critical
                                    : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                   : QMessageBox::Information;
    QMessageBox box(shown, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(tr("确定"));
    box.exec();
}

bool CTolvexDlg::AskYesNo(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::Question, FromUtf8(caption), FromUtf8(text), QMessageBox::Yes | QMessageBox::No,
                    this);
    box.button(QMessageBox::Yes)->setText(tr("是(&Y)"));
    box.button(QMessageBox::No)->setText(tr("否(&N)"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void CTolvexDlg::RefreshPanel(int mode)
{
    if (!m_operator) return;
    ApplyFrame(m_operator->RefreshPanel(mode));
}

void CTolvexDlg::ApplyFrame(const PanelFrame& frame)
{
    if (!frame.ReplayShown) {
        // Free driving: the replay lines go with the next paint instead of lingering.
        std::erase_if(m_texts, [](const auto& entry) { return entry.second.Group == TextGroup::Replay; });
    }
    for (const PanelText& text : frame.Texts) m_texts[{text.X, text.Y}] = text;
    if (frame.FullRedraw) {
        m_frame.Buttons = frame.Buttons;
        m_frame.Outputs = frame.Outputs;
        m_buttons[PanelControl::Run]->setEnabled(frame.Buttons.RunEnabled);
        m_buttons[PanelControl::Pause]->setEnabled(frame.Buttons.PauseEnabled);
        m_buttons[PanelControl::Stop]->setEnabled(frame.Buttons.StopEnabled);
        if (isActiveWindow()) setFocus();
    }
    m_frame.ReplayShown = frame.ReplayShown;
    if (frame.ReplayShown) {
        m_frame.LoopPicture = frame.LoopPicture;
        m_frame.ReversedPicture = frame.ReversedPicture;
    }
    m_frame.SelectedMode = frame.SelectedMode;
    UpdateModeButtons();
    update();
}

void CTolvexDlg::UpdateModeButtons()
{
    static constexpr std::pair<int, TrackMode> Modes[] = {{PanelControl::ModeFree, TrackMode::Free},
                                                          {PanelControl::ModeP, TrackMode::P},
                                                          {PanelControl::ModeM, TrackMode::M},
                                                          {PanelControl::ModeS, TrackMode::S}};
    for (const auto& [id, mode] : Modes) {
        const bool selected = m_frame.SelectedMode == mode;
        QPushButton* button = m_buttons[id];
        if (button->property("selected").toInt() == static_cast<int>(selected) + 1) continue;
        button->setProperty("selected", static_cast<int>(selected) + 1);
        button->setIcon(QIcon(ModePicture(mode, selected)));
    }
    // Pictures are made only when they change: the refresh runs up to fifty times a second.
    QPushButton* loop = m_buttons[PanelControl::LoopButton];
    if (loop->property("picture").toInt() != static_cast<int>(m_frame.LoopPicture) + 1) {
        loop->setProperty("picture", static_cast<int>(m_frame.LoopPicture) + 1);
        loop->setIcon(QIcon(LoopPicture(m_frame.LoopPicture)));
    }
    QPushButton* direction = m_buttons[PanelControl::DirectionButton];
    if (direction->property("picture").toInt() != static_cast<int>(m_frame.ReversedPicture) + 1) {
        direction->setProperty("picture", static_cast<int>(m_frame.ReversedPicture) + 1);
        direction->setIcon(QIcon(DirectionPicture(m_frame.ReversedPicture)));
    }
}

QString CTolvexDlg::PanelTextAt(int x, int y) const
{
    const auto it = m_texts.find({x, y});
    return it == m_texts.end() ? QString() : FromUtf8(it->second.Text);
}

std::vector<PanelText> CTolvexDlg::PanelTexts() const
{
    std::vector<PanelText> texts;
    for (const auto& [at, text] : m_texts) texts.push_back(text);
    return texts;
}

QFont CTolvexDlg::GroupFont(TextGroup group) const
{
    static constexpr int Pixels[] = {FixFontPixels, StatusFontPixels, ReplayFontPixels};
    QFont font(m_fontFace);
    font.setPixelSize(Pixels[static_cast<int>(group)]);
    return font;
}

QRect CTolvexDlg::VisibleTextRect(const PanelText& text) const
{
    QString shown = FromUtf8(text.Text);
    while (!shown.isEmpty() && (shown.back() == u' ' || shown.back() == QChar(0x3000))) shown.chop(1);
    const QFontMetrics metrics(GroupFont(text.Group));
    return QRect(text.X, text.Y, metrics.horizontalAdvance(shown), metrics.height());
}

void CTolvexDlg::paintEvent(QPaintEvent*)
{
    const Settings& options = m_sim->Core.Options;
    const QColor back = ColorOf(options.BackColor);
    QPainter painter(this);
    painter.fillRect(rect(), back);
    painter.setPen(QColor(160, 160, 160));
    painter.drawLine(2, SeparatorY, width() - 3, SeparatorY);

    const ColorRef colors[] = {options.Text1Color, options.Text2Color, options.Text3Color};
    // Left to right, so a text's trailing blanks never cover the one drawn after it.
    std::map<int, int> rowEnds;  // y: where the written part of the row's last text ended
    for (const auto& [at, text] : m_texts) {
        const QFont font = GroupFont(text.Group);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QString shown = FromUtf8(text.Text);
        // Counts of a million points and more would run into the next text of their row: that
        // text moves along by a blank instead.
        int x = text.X;
        if (const auto end = rowEnds.find(text.Y); end != rowEnds.end()) x = std::max(x, end->second);
        // Opaque on the background, as the texts have always been drawn.
        painter.fillRect(QRect(x, text.Y, metrics.horizontalAdvance(shown), metrics.height()), back);
        painter.setPen(ColorOf(colors[static_cast<int>(text.Group)]));
        painter.drawText(x, text.Y + metrics.ascent(), shown);
        qsizetype written = shown.size();
        while (written > 0 && shown[written - 1].isSpace()) --written;
        rowEnds[text.Y] = x + metrics.horizontalAdvance(shown.left(written)) + metrics.horizontalAdvance(QChar(' '));
    }
    for (const OutputColumn& column : m_frame.Outputs)
        painter.drawPixmap(column.PictureX, column.PictureY, OutputPicture(column.Indicator));
}

void CTolvexDlg::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    RefreshPanel(2);
}

// --- Keyboard and mouse ---

bool CTolvexDlg::event(QEvent* e)
{
    // Tab would move the focus to a button; the panel keeps it.
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (e->type() == QEvent::KeyPress) keyPressEvent(key);
            return true;
        }
    }
    if (e->type() == QEvent::ToolTip) {
        // A network output's column names its full address.
        auto* help = static_cast<QHelpEvent*>(e);
        for (const OutputColumn& column : m_frame.Outputs) {
            const QRect area(column.PictureX, column.Port.Y, 27, column.PictureY + 24 - column.Port.Y);
            if (!column.ToolTip.empty() && area.contains(help->pos())) {
                QToolTip::showText(help->globalPos(), FromUtf8(column.ToolTip), this);
                return true;
            }
        }
        QToolTip::hideText();
    }
    return QWidget::event(e);
}

void CTolvexDlg::keyPressEvent(QKeyEvent* e)
{
    // Every key stays with the panel: Enter and Escape never reach a default handler that could
    // end the window.
    if (e->key() == Qt::Key_Menu) {
        // Left to the platform, which turns it into a keyboard context-menu request.
        e->ignore();
        return;
    }
    // Shift+F10, the keyboard's other way to the popup menu.
    if (e->key() == Qt::Key_F10 && e->modifiers().testFlag(Qt::ShiftModifier)) {
        e->accept();
        ShowKeyboardContextMenu();
        return;
    }
    // Alt combinations belong to the system (window-manager keys, mnemonics), never to driving.
    if (e->modifiers().testFlag(Qt::AltModifier) || e->key() == Qt::Key_Alt) {
        e->ignore();
        return;
    }
    e->accept();
    // F1 is the Help button's key, as the quick help lists it.
    if (e->key() == Qt::Key_F1 && !e->isAutoRepeat()) {
        OpenQuickHelp();
        return;
    }
    if (const int vk = VirtualKeyOf(e->key())) m_operator->HandleKeyDown(vk, e->isAutoRepeat());
}

void CTolvexDlg::focusOutEvent(QFocusEvent* e)
{
    // A key let go while another window has the focus would otherwise stay held: the course would
    // keep turning and every step stay multiplied.
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_LEFT, VK_RIGHT}) m_operator->HandleKeyUp(vk);
    QWidget::focusOutEvent(e);
}

void CTolvexDlg::keyReleaseEvent(QKeyEvent* e)
{
    e->accept();
    if (e->isAutoRepeat()) return;
    if (const int vk = VirtualKeyOf(e->key())) m_operator->HandleKeyUp(vk);
}

void CTolvexDlg::mousePressEvent(QMouseEvent* e)
{
    switch (e->button()) {
    case Qt::LeftButton: m_operator->LeftButtonPressed(); break;
    case Qt::RightButton: m_operator->RightButtonPressed(); break;
    case Qt::MiddleButton: m_operator->MiddleButtonPressed(); break;
    default: break;
    }
    setFocus();
}

void CTolvexDlg::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) m_operator->LeftButtonReleased();
    if (e->button() == Qt::RightButton && m_operator->RightButtonReleased())
        ShowContextMenu(e->globalPosition().toPoint());
}

void CTolvexDlg::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        mousePressEvent(e);
        return;
    }
    m_operator->LeftButtonPressed();
    const QPoint at = e->position().toPoint();
    const DoubleClickTarget target = m_operator->HandleDoubleClick(at.x(), at.y());
    // The dialog runs its own loop: the button's release never reaches the panel.
    m_operator->LeftButtonReleased();
    if (target.Options)
        OptionsCommand(target.OptionsOutput);
    else
        EditPosition(target.Format);
}

void CTolvexDlg::wheelEvent(QWheelEvent* e)
{
    const int delta = std::clamp(e->angleDelta().y(), -32768, 32767);
    if (delta == 0) return;
    const QPoint at = e->position().toPoint();
    m_operator->HandleMouseWheel(delta, at.x(), at.y());
    e->accept();
}

void CTolvexDlg::contextMenuEvent(QContextMenuEvent* e)
{
    // A mouse request is answered at the right button's release, once the wheel rule has spoken.
    if (e->reason() != QContextMenuEvent::Keyboard) return;
    ShowKeyboardContextMenu();
}

void CTolvexDlg::ShowKeyboardContextMenu()
{
    const QPoint client = mapToGlobal(QPoint(0, 0));
    const ScreenPoint at = MenuAnchor(-1, -1, client.x(), client.y());
    ShowContextMenu(QPoint(at.X, at.Y));
}

void CTolvexDlg::ShowContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    std::map<std::string, QMenu*> submenus;
    for (const MenuItem& item : m_operator->ContextMenu()) {
        QMenu* target = &menu;
        if (!item.Submenu.empty()) {
            auto [it, added] = submenus.try_emplace(item.Submenu, nullptr);
            if (added) it->second = menu.addMenu(FromUtf8(item.Submenu));
            target = it->second;
        }
        if (item.Separator) {
            target->addSeparator();
            continue;
        }
        QAction* action = target->addAction(FromUtf8(item.Text));
        action->setData(item.Id);
        action->setCheckable(item.Checked);
        action->setChecked(item.Checked);
        action->setEnabled(item.Enabled);
    }
    // The about box, which the system menu offers on the platform the panel comes from.
    menu.addSeparator();
    QAction* about = menu.addAction(CoreText(About::MenuText));
    about->setData(0);
    // Taken from the signal, which also reports entries of the submenus.
    QAction* chosen = nullptr;
    connect(&menu, &QMenu::triggered, this, [&chosen](QAction* action) { chosen = action; });
    menu.exec(globalPos);
    if (!chosen) return;
    if (chosen == about) {
        ShowAbout();
        return;
    }
    RunMenuCommand(chosen->data().toInt());
}

void CTolvexDlg::RunMenuCommand(int id)
{
    RunWindowAction(m_operator->RunMenuCommand(id));
    RefreshPanel(1);
}

void CTolvexDlg::RunWindowAction(const MenuCommandResult& result)
{
    switch (result.Action) {
    case WindowAction::None: break;
    case WindowAction::EditPosition: EditPosition(result.Format); break;
    case WindowAction::SaveFavorite: SaveFavoriteCommand(); break;
    case WindowAction::Options: OptionsCommand(-1); break;
    case WindowAction::ApplyTopmost: ApplyTopmost(); break;
    case WindowAction::OpenTrackFile: OpenTrackFileDialog(); break;
    case WindowAction::SaveNmea: SaveNmeaCommand(); break;
    case WindowAction::CopyToClipboard:
        // Plain 8-bit text, as the copy forms are ASCII.
        QGuiApplication::clipboard()->setText(QString::fromLatin1(result.ClipboardText.c_str()));
        break;
    case WindowAction::QuickHelp: CreateQuickHelpWindow(); break;
    case WindowAction::MapWindow: ApplyMapWindow(); break;
    }
}

void CTolvexDlg::ApplyTopmost()
{
    const bool topmost = m_sim->Core.Options.AlwaysOnTop;
    if (testAttribute(Qt::WA_WState_Created) && windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) return;
    const bool wasVisible = isVisible();
    const QPoint at = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    if (wasVisible) {
        // Changing the flag re-creates the native window; it comes back where it was.
        move(at);
        show();
    }
}

// --- Tracks ---

void CTolvexDlg::OpenTrackFileDialog()
{
    QFileDialog dialog(this, tr("载入航迹文件"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({tr("OZI航迹文件 (*.plt)"), tr("GPX文件 (*.gpx)"),
                           tr("Google Earth kml文件 (*.kml)"),
                           tr("GpsGate Simulator文件 (*.gpssim)"), tr("灵图trk文件 (*.trk)"),
                           tr("NMEA-0183文件 (*.nmea *.nma *.log *.txt)"), tr("所有文件 (*)")});
    dialog.setDefaultSuffix("plt");
    dialog.selectFile("*.plt");
    LabelFileDialog(dialog, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    LoadTrack(QFile::encodeName(dialog.selectedFiles().front()).toStdString());
}

void CTolvexDlg::LoadTrack(const std::string& path)
{
    Simulator& sim = *m_sim;
    m_loadCancelled = false;
    const LoadOutcome outcome = LoadTrackFile(path, sim.Track, sim.TrackReplay, sim.Core.Options, *this);
    if (!outcome.Loaded) {
        // A reader that failed without a word would leave the user guessing; a cancel needs none.
        if (!outcome.MessageShown && !m_loadCancelled)
            ShowMessage(ToUtf8(tr("无法载入航迹文件：\n%1\n（文件无法读取，或没有航迹段符合过滤条件）").arg(FromUtf8(path))),
                        ToUtf8(tr("错误")), MessageIcon::Error);
        return;
    }
    ApplyLoadOutcome(outcome);
}

void CTolvexDlg::ApplyLoadOutcome(const LoadOutcome& outcome)
{
    setWindowTitle(QFile::decodeName(QByteArray::fromStdString(outcome.Title)));
    if (outcome.ShowTrackModeBar) ShowTrackModeBar();
    RefreshPanel(1);
}

void CTolvexDlg::ShowTrackModeBar()
{
    for (const ModePlace& place : ModeButtons) m_buttons[place.Id]->show();
    m_trackModeBarShown = true;
    if (height() < PanelFullHeight) setFixedSize(PanelWidth, PanelFullHeight);
}

void CTolvexDlg::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CTolvexDlg::dropEvent(QDropEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty()) return;
    e->acceptProposedAction();
    // Only the first of several files is taken.
    const QUrl& first = urls.front();
    const QString path = first.isLocalFile() ? first.toLocalFile() : first.toString();
    LoadTrack(QFile::encodeName(path).toStdString());
}

// --- Quick help and about ---

void CTolvexDlg::OpenQuickHelp()
{
    if (m_operator->ShowQuickHelp()) CreateQuickHelpWindow();
}

void CTolvexDlg::CreateQuickHelpWindow()
{
    if (m_quickHelp) return;
    m_quickHelp = new CQuickHelp(*m_operator);
    connect(m_quickHelp, &QObject::destroyed, this, [this] { m_quickHelp = nullptr; });
    m_quickHelp->move(frameGeometry().topRight() + QPoint(8, 0));
    m_quickHelp->show();
    // Where the window manager gives the new window the focus anyway, the panel takes it back.
    activateWindow();
    setFocus();
}

void CTolvexDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

// --- Map ---

void CTolvexDlg::ApplyMapWindow()
{
    const bool wanted = m_sim->Core.Options.MapWindowOpen;
    if (!wanted) {
        if (m_map) m_map->close();
        return;
    }
    if (m_map || m_closed) return;
    m_map = new CMapWindow(*m_sim, this, DefaultTileCacheRoot());
    // Closed by its own title bar: remembered as closed. Destroyed by the program: nothing changes.
    connect(m_map, &CMapWindow::ClosedByUser, this, [this] { m_sim->Core.Options.MapWindowOpen = false; });
    connect(m_map, &QObject::destroyed, this, [this] { m_map = nullptr; });
    m_map->move(frameGeometry().topRight() + QPoint(8, 0));
    m_map->show();
}

// --- Close ---

bool CTolvexDlg::CloseSequence()
{
    if (m_closed) return true;
    Engine& engine = m_sim->Core;
    // Saved first, so the file holds the state the user left.
    std::string error;
    if (!SaveSettings(m_settingsPath, engine.Options, engine.Fix, engine.SpeedToSave(), error)) {
        ShowMessage(error, ToUtf8(tr("错误")), MessageIcon::Error);
        if (!AskYesNo(ToUtf8(tr("设置未能保存到：\n%1\n仍然关闭并放弃本次的设置吗？").arg(FromUtf8(m_settingsPath))),
                      ToUtf8(tr("警告"))))
            return false;
    }
    m_timer.stop();
    if (m_quickHelp) m_quickHelp->close();
    // Saved as open: the program, not the user, takes it down.
    delete m_map;
    engine.Close();
    m_closed = true;
    return true;
}

void CTolvexDlg::RequestClose()
{
    if (m_closing || m_closed) return;
    ContinueRequestedClose();
}

void CTolvexDlg::ContinueRequestedClose()
{
    if (m_closing || m_closed) return;
    // One level at a time, innermost first: each ends its own loop before the next is cancelled.
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* progress = qobject_cast<QProgressDialog*>(modal))
            progress->cancel();
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    } else if (!m_sim->Core.ExportRunning) {
        close();
        return;
    }
    QTimer::singleShot(20, this, [this] { ContinueRequestedClose(); });
}

void CTolvexDlg::closeEvent(QCloseEvent* e)
{
    if (m_closing) {
        e->ignore();
        return;
    }
    m_closing = true;
    const bool closed = CloseSequence();
    m_closing = false;
    if (closed)
        e->accept();
    else
        e->ignore();
}

}  // namespace tolvex
