#include "cli/console_host.h"

#include <cstdio>
#include <string_view>

namespace tolvex {
namespace {

// The window's texts as printf formats beside their English line. %1, %2 .. in the English take
// what the first, second .. %s or %d matched in the Chinese.
struct Translation {
    std::string_view Chinese;
    std::string_view English;
};

constexpr Translation Translations[] = {
    {"无法打开串口 %s", "cannot open serial port %1"},
    {"无法创建虚拟串口 %s", "cannot create virtual port %1"},
    {"无法创建虚拟串口对象，请确认虚拟串口控件及驱动已正确安装%s",
     "cannot create a virtual port: the system offers no pseudo-terminals%1"},
    {"创建虚拟串口对象失败%s", "cannot make a pseudo-terminal for the virtual port%1"},
    {"Tolvex无法删除虚拟串口COM%d的链接：\n%s\n请在其他软件中关闭正在使用的COM%d，\n并手动删除该链接。 ",
     "cannot remove the link %2 of virtual port COM%1: close COM%1 in the program using it, then delete the link"},
    {"输出%d与输出%d的串口均为COM%d，无法启动输出%d ", "outputs %1 and %2 both use COM%3: output %4 not started"},
    {"无法读取文件：\n%s", "cannot read %1"},
    {"无法写入文件：\n%s", "cannot write %1"},
    {"未知的航迹文件类型：\n%s", "unknown track file type: %1"},
    {"不是有效的OZI plt文件：\n%s", "not a valid OziExplorer .plt file: %1"},
    {"载入GPX文件失败", "cannot load the GPX file"},
    {"GPX文件内未找到航迹或航线", "the GPX file holds no track and no route"},
    {"载入kml文件失败", "cannot load the KML file"},
    {"kml文件内未找到Placemark", "the KML file holds no Placemark"},
    {"不是有效的trk文件", "not a valid .trk file"},
    {"不支持的trk文件版本", "unsupported .trk file version"},
    {"手控速度航迹模式（M模式），且速度为0时，无法产生NMEA文件！", "mode M at speed 0 never reaches the end: no NMEA file"},
    {"时间驱动航迹模式（S模式），且速度比例为0时，无法产生NMEA文件！", "mode S at ratio 0 never reaches the end: no NMEA file"},
    {"手控速度航迹模式（M模式），且速度较小时，可能产生较大的NMEA文件\n是否继续？",
     "mode M below 1 km/h may give a very large NMEA file; going on"},
    {"航迹不含时间，S模式将每步前进一个点，显示的速度与实际运动不符 ",
     "the track carries no times: mode S moves one point per step and the reported speed does not match the motion"},
    {"内存不足，无法反向回放航迹", "not enough memory to replay the track reversed"},
    {"未找到 %s ", "the OziExplorer API library %1 was not found"},
    {"%s 版本太低 ", "the OziExplorer API library %1 is too old"},
    {"OziExplorer 尚未运行 ", "OziExplorer is not running"},
};

// Matches text against a printf format of %s and %d only; the pieces they matched go to fields.
bool Match(std::string_view format, std::string_view text, std::vector<std::string>& fields)
{
    while (!format.empty()) {
        if (format.size() >= 2 && format[0] == '%' && (format[1] == 's' || format[1] == 'd')) {
            const bool digits = format[1] == 'd';
            format.remove_prefix(2);
            // Shortest piece first, so a literal after it anchors where the piece ends.
            for (std::size_t n = digits ? 1 : 0; n <= text.size(); ++n) {
                if (digits && (text[n - 1] < '0' || text[n - 1] > '9')) return false;
                fields.emplace_back(text.substr(0, n));
                if (Match(format, text.substr(n), fields)) return true;
                fields.pop_back();
            }
            return false;
        }
        if (text.empty() || text[0] != format[0]) return false;
        format.remove_prefix(1);
        text.remove_prefix(1);
    }
    return text.empty();
}

}  // namespace

std::string EnglishLine(const std::string& chinese)
{
    for (const Translation& t : Translations) {
        std::vector<std::string> fields;
        if (!Match(t.Chinese, chinese, fields)) continue;
        std::string line;
        for (std::size_t i = 0; i < t.English.size(); ++i) {
            const char c = i + 1 < t.English.size() ? t.English[i + 1] : '\0';
            if (t.English[i] == '%' && c >= '1' && c <= '9') {
                const std::size_t field = static_cast<std::size_t>(c - '1');
                if (field < fields.size()) line += fields[field];
                ++i;
            } else {
                line += t.English[i];
            }
        }
        return line;
    }
    return {};
}

void ConsoleHost::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    ++MessageCount;
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    // The window's text for whoever reads Chinese, an English line for logs and scripts.
    const std::string english = EnglishLine(text);
    if (!english.empty()) {
        const char* kind = icon == MessageIcon::Error ? "error" : icon == MessageIcon::Warning ? "warning" : "note";
        std::fprintf(stderr, "tolvex: %s: %s\n", kind, english.c_str());
    }
}

bool ConsoleHost::AskYesNo(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s yes\n", caption.c_str(), text.c_str());
    const std::string english = EnglishLine(text);
    if (!english.empty()) std::fprintf(stderr, "tolvex: warning: %s\n", english.c_str());
    return true;
}

std::optional<std::array<bool, 4>> ConsoleHost::ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries)
{
    std::array<bool, 4> close{};
    for (std::size_t i = 0; i < entries.size(); ++i) close[i] = entries[i].Enabled;
    return close;
}

std::optional<int> ConsoleHost::ChooseSegment(const std::vector<std::string>& rows, const std::string&)
{
    if (rows.empty()) return -1;
    return SegmentChoice < static_cast<int>(rows.size()) ? SegmentChoice : -1;
}

std::optional<GpxContent> ConsoleHost::ChooseGpxContent(int, int) { return GpxChoice; }

}  // namespace tolvex
