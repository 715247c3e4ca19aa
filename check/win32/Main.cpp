// token-check.exe: proves a token and its PKCS#11 module on this computer with the
// workstation's own token layer, and writes the findings with the complete call log into a
// report file.
//
//   token-check [--journal] [--report FILE]
//
// Exit status: 0 when no check failed, 1 when one did, the run was stopped with Ctrl+C or the
// report could not be written, 2 for a command line it does not understand. Started in a
// console window of its own (by a double click), it waits for Enter before the window closes.
#include "check/CallLog.h"
#include "check/Checks.h"
#include "check/Report.h"
#include "check/win32/Console.h"
#include "check/win32/ModuleSearch.h"
#include "check/win32/StopRequest.h"
#include "support/FileIo.h"
#include "support/Logger.h"
#include "support/TextConversion.h"
#include "token/Exception.h"
#include "token/platform/ModuleLoader.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <windows.h>

namespace {

const char* const kUsage[] = {
    "Проверка токена и его модуля PKCS#11 для АРМ пользователя Veltora QRD.",
    "token-check [--journal] [--report ФАЙЛ]",
    "  --journal       подписывать и ключами, которые ведут журнал токена",
    "  --report ФАЙЛ   записать отчёт в этот файл (по умолчанию во временную папку)",
};

struct CommandLine {
    check::Options options;
    std::string reportPath;
    bool help = false;
};

std::string utf8(const wchar_t* text) {
    return wideToUtf8(reinterpret_cast<const char16_t*>(text));
}

std::optional<CommandLine> parse(int argc, wchar_t** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--journal") {
            line.options.journalKeys = true;
        } else if (argument == L"--report" && i + 1 < argc && argv[i + 1][0] != L'\0') {
            line.reportPath = utf8(argv[++i]);
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            line.help = true;
        } else {
            return std::nullopt;
        }
    }
    return line;
}

// "2024-05-17 09:30:00", or "20240517-093000" for a file name.
std::string stamp(const SYSTEMTIME& time, bool forFileName) {
    char text[32];
    if (forFileName) {
        std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", time.wYear, time.wMonth,
                      time.wDay, time.wHour, time.wMinute, time.wSecond);
    } else {
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth,
                      time.wDay, time.wHour, time.wMinute, time.wSecond);
    }
    return text;
}

// token-check-YYYYMMDD-HHMMSS.txt in the user's temporary folder, which is always writable,
// whatever folder the program was started in.
std::string defaultReportPath(const SYSTEMTIME& time) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    const std::string name = "token-check-" + stamp(time, true) + ".txt";
    if (length == 0 || length > MAX_PATH) {
        return name;
    }
    return utf8(folder) + name;
}

// UTF-8 with a byte order mark and Windows line ends, so that Notepad shows it right.
Bytes reportFile(const std::string& text) {
    Bytes bytes{0xEF, 0xBB, 0xBF};
    for (const char c : text) {
        if (c == '\n') {
            bytes.push_back('\r');
        }
        bytes.push_back(static_cast<unsigned char>(c));
    }
    return bytes;
}

int run(int argc, wchar_t** argv, check::Console& console) {
    const std::optional<CommandLine> line = parse(argc, argv);
    if (!line || line->help) {
        for (const char* text : kUsage) {
            line ? console.writeLine(text) : console.writeErrorLine(text);
        }
        return line ? 0 : 2;
    }

    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string heading =
        "Проверка токена, token-check " WORKSTATION_VERSION ", " + stamp(now, false);
    console.writeLine(heading);
    console.writeLine("");

    const auto log = std::make_shared<check::CallLog>();
    getLogger().setListBox(log);
    check::Report report([&](const std::string& text) { console.writeLine(text); });
    const check::Host host{
        [&](std::string& pin) {
            if (!console.readPin(pin, check::stop::event())) {
                check::stop::request();
            }
        },
        check::probeLoadFailure,
        [] { return check::stop::requested(); },
    };
    check::stop::install();
    check::runChecks(line->options, host, report, *log);
    check::stop::uninstall();
    getLogger().setListBox(nullptr);
    const bool stopped = check::stop::requested();
    if (stopped) {
        report.remark("");
        report.remark("Проверка прервана (Ctrl+C): остальные проверки не выполнялись.");
    }

    console.writeLine("");
    console.writeLine(report.summary());
    const std::string path = line->reportPath.empty() ? defaultReportPath(now) : line->reportPath;
    try {
        writeFile(path, reportFile(report.text(heading, log->lines())));
    } catch (const Exception& e) {
        console.writeErrorLine("Отчёт не записан: " + path + ": " + e.whatRu());
        return 1;
    } catch (const std::exception& e) {
        console.writeErrorLine("Отчёт не записан: " + path + ": " + e.what());
        return 1;
    }
    console.writeLine("Отчёт: " + path);
    return report.anyFailed() || stopped ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // The module is loaded by its bare name, as the workstation loads it: never from the
    // folder the program is started in.
    token::platform::keepCurrentFolderOutOfSearch();
    // A module that cannot be loaded is explained in the report, not in a box of the loader's
    // that would hold up a scripted run.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    check::Console console;
    // Asked at the start, when the programs that share the console are those that started
    // this one there.
    const bool ownWindow = console.ownsItsWindow();
    const int status = run(argc, argv, console);
    if (ownWindow) {
        console.waitForEnter();
    }
    return status;
}
