#pragma once
// CTolvexDlg, the main window: owns the simulator, draws the panel from the Operator's model and
// forwards keys, mouse, menu commands and dropped files. It is also the core's Host.

#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "control/operator.h"
#include "links/ozi_link.h"
#include "links/port_factory.h"
#include "remote/host_relay.h"
#include "tracks/track_loader.h"
#include "sim/clock.h"
#include "sim/engine_simulator.h"
#include "sim/host.h"
#include "sim/texts.h"

namespace tolvex {

class CMapWindow;
class CQuickHelp;

inline constexpr const char* MainWindowTitle = Texts::Mark("Tolvex GPS 模拟器 V0.3.1");

// Control ids of the panel, as the tool tips and mode commands know them.
namespace PanelControl {
inline constexpr int Run = 1000;
inline constexpr int Stop = 1001;
inline constexpr int Pause = 1002;
inline constexpr int Help = 57670;
inline constexpr int FileOpen = 1049;
inline constexpr int ModeFree = 1054;
inline constexpr int LoopButton = 1055;
inline constexpr int DirectionButton = 1056;
inline constexpr int ModeP = 1057;
inline constexpr int ModeM = 1058;
inline constexpr int ModeS = 1059;
}  // namespace PanelControl

// Client sizes: the track-mode bar below the separating line is hidden until a track is loaded.
inline constexpr int PanelWidth = 352;
inline constexpr int PanelFullHeight = 245;
inline constexpr int TrackModeBarHeight = 114;

class CTolvexDlg : public QWidget, public Host {
    Q_OBJECT
public:
    // Reads the settings from settingsPath now and writes them back there at close. A virtualDir
    // other than empty replaces the settings' folder of the virtual port links for this run.
    explicit CTolvexDlg(std::string settingsPath, const std::string& virtualDir = {}, QWidget* parent = nullptr);
    ~CTolvexDlg() override;

    // Host
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries) override;
    std::optional<int> ChooseSegment(const std::vector<std::string>& rows, const std::string& summary) override;
    std::optional<GpxContent> ChooseGpxContent(int trackCount, int routeCount) override;
    void RefreshPanel(int mode) override;

    // The commands of the panel's buttons and menu, callable from tests as the user would.
    void PressButton(int controlId);
    void RunMenuCommand(int id);
    void LoadTrack(const std::string& path);
    // The window's part of a successful load: the title and the track-mode bar.
    void ApplyLoadOutcome(const LoadOutcome& outcome);
    void EditPosition(LatLonFormat format);
    void OptionsCommand(int startOutput = -1);
    void SaveFavoriteCommand();
    void SaveNmeaCommand();
    void OpenQuickHelp();
    void ShowAbout();
    void ShowContextMenu(const QPoint& globalPos);
    // The menu key and Shift+F10: the menu at the panel's corner.
    void ShowKeyboardContextMenu();

    Simulator& Sim() { return *m_sim; }
    // The host the simulator talks to: this window, except while a control command runs.
    HostRelay& Relay() { return m_hostRelay; }
    Operator& Op() { return *m_operator; }
    const PanelFrame& Frame() const { return m_frame; }
    bool TrackModeBarShown() const { return m_trackModeBarShown; }
    int StartPage() const { return m_optionsStartPage; }
    CQuickHelp* QuickHelpWindow() const { return m_quickHelp; }
    // The map window while it is open.
    CMapWindow* MapWindow() const { return m_map; }
    const std::string& SettingsPath() const { return m_settingsPath; }
    // The text drawn at (x, y) on the panel; empty when none.
    QString PanelTextAt(int x, int y) const;
    std::vector<PanelText> PanelTexts() const;
    // Where the visible part of a text lands, trailing blanks left out.
    QRect VisibleTextRect(const PanelText& text) const;
    QString FontFace() const { return m_fontFace; }
    // Runs the close sequence; false when the user chose to stay after the settings failed to save.
    bool CloseSequence();
    // A close nobody confirms (a signal, a logout): every open dialog, menu and export is first
    // ended the way its Cancel ends it, then the window closes, so nothing unconfirmed is saved.
    void RequestClose();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QPushButton* MakeButton(int controlId, const QIcon& icon, const QRect& geometry);
    void ApplyFrame(const PanelFrame& frame);
    void ApplyTopmost();
    void ShowTrackModeBar();
    void OpenTrackFileDialog();
    void RunWindowAction(const MenuCommandResult& result);
    QFont GroupFont(TextGroup group) const;
    void UpdateModeButtons();
    void CreateQuickHelpWindow();
    void ContinueRequestedClose();
    // Opens or closes the map window as MapWindowOpen says.
    void ApplyMapWindow();

    std::string m_settingsPath;
    HostRelay m_hostRelay{*this};
    SystemCalendarClock m_calendar;
    std::unique_ptr<SystemPortFactory> m_ports;
    std::unique_ptr<OziLink> m_ozi;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<Operator> m_operator;
    QTimer m_timer;

    // What the panel shows: the latest text at each position, the buttons and indicators.
    std::map<std::pair<int, int>, PanelText> m_texts;
    PanelFrame m_frame;
    std::map<int, QPushButton*> m_buttons;
    QString m_fontFace;
    bool m_trackModeBarShown = false;
    bool m_loadCancelled = false;  // the user cancelled a question of the load in progress
    bool m_closing = false;
    bool m_closed = false;
    int m_optionsStartPage = 0;
    CQuickHelp* m_quickHelp = nullptr;
    CMapWindow* m_map = nullptr;
};

}  // namespace tolvex
