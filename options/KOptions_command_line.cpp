// The worksheet program's own command-line options and the kernel connection descriptors.
//
// `otherArgs` (the words that are not kernel options, program name first) is read with
// KL_ArgScanner: an option word is an option whose name is the rest of the word (case matters)
// and whose value is the next word unless that is an option word too.  Option words start with
// "-", or with "/" followed by one of the option names below ("/nosplash"): every other word
// starting with "/" is an absolute path, a worksheet or an option's value.  The program name is
// skipped as a word, so a program started by its absolute path does not take the first
// worksheet as its value.  Options apply in command-line order:
//
// | name          | value                  | effect                                          |
// |---------------|------------------------|-------------------------------------------------|
// | "km"          | a / p / q / s ...      | kernelSharing 2 / 1 and linkKind 3 /            |
// |               |                        | kernelUiMode 2 / kernelSharing 0 (first letter) |
// | "kp"          | ignored                | kernelUiMode 1                                  |
// | "kd"          | d / l / r ...          | linkKind 2 / 3 / 6 (first letter)               |
// | "kpipeserver" | server command line    | replaces the default server command             |
// | "kth"         | host name              | host of the network descriptor                  |
// | "ktp"         | decimal port           | port of the network descriptor                  |
// | "nosplash"    | ignored                | showSplash 0                                    |
//
// Unknown options are ignored with their values; "km", "kd", "kpipeserver", "kth" and "ktp"
// without a value are ignored.  Every other plain word names a worksheet to open.
#include "options/KOptions.h"

#include <string_view>

#include "kernel_link/kl_paths.h"

namespace {

const char* const kProgramOptions[] = {"km", "kp", "kd", "kpipeserver", "kth", "ktp", "nosplash"};

// The scanner of the program's words: "/" starts an option word only before an option name.
class ProgramArgScanner : public KL_ArgScanner {
public:
    using KL_ArgScanner::KL_ArgScanner;
    bool isOptionWord(const char* word) const override {
        if (word == nullptr) return false;
        if (word[0] == '-') return true;
        if (word[0] != '/') return false;
        for (const char* name : kProgramOptions)
            if (std::string_view(word + 1) == name) return true;
        return false;
    }
};

// The kernel server found beside the program (or named by KELVO_KERNSRV), written so that the
// pipe link's command splitter gives it back as one word: in double quotes, with quotes and
// backslashes escaped, when it holds a blank, a quote or a backslash.
std::string defaultServerCommand() {
    std::string path = kl_kernel_server_path();
    if (path.find_first_of(" \t\n\"\\") == std::string::npos) return path;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The port as atoi reads it (blanks, a sign, digits up to the first other character), but 0
// when the number does not fit 32 bits.
int parsePort(const char* text) {
    std::string_view t(text);
    std::size_t p = 0;
    while (p < t.size() && (t[p] == ' ' || (t[p] >= '\t' && t[p] <= '\r'))) ++p;
    bool negative = false;
    if (p < t.size() && (t[p] == '-' || t[p] == '+')) negative = t[p++] == '-';
    long long v = 0;
    for (; p < t.size() && t[p] >= '0' && t[p] <= '9'; ++p) {
        v = v * 10 + (t[p] - '0');
        if (v > 2147483648LL) return 0;
    }
    if (negative) v = -v;
    return v > 2147483647LL ? 0 : static_cast<int>(v);
}

}  // namespace

void KOptions::parse_command_line() {
    std::string serverCommand = defaultServerCommand();
    bool haveHost = false;
    std::string hostName;
    int port = 0;

    ProgramArgScanner scanner(otherArgs);
    scanner.nextWord();   // the program name
    KL_ArgOption option;
    while (scanner.nextOption(option)) {
        if (option.name == nullptr) continue;   // a worksheet
        std::string_view name(option.name);
        const char* value = option.value;
        if (name == "km") {
            if (value == nullptr) continue;
            switch (value[0]) {
            case 'a': kernelSharing = 2; break;
            case 'p': kernelSharing = 1; linkKind = 3; break;
            case 'q': kernelUiMode = 2; break;
            case 's': kernelSharing = 0; break;
            default: break;
            }
        } else if (name == "kp") {
            kernelUiMode = 1;
        } else if (name == "kd") {
            if (value == nullptr) continue;
            switch (value[0]) {
            case 'd': linkKind = 2; break;
            case 'l': linkKind = 3; break;
            case 'r': linkKind = 6; break;
            default: break;
            }
        } else if (name == "kpipeserver") {
            if (value != nullptr) serverCommand = value;
        } else if (name == "kth") {
            if (value != nullptr) {
                haveHost = true;
                hostName = value;
            }
        } else if (name == "ktp") {
            if (value != nullptr) port = parsePort(value);
        } else if (name == "nosplash") {
            showSplash = 0;
        }
    }

    pipeServerInfo = std::make_unique<KL_ConnectInfo>(KL_TRANSPORT_PIPES, serverCommand.c_str());
    networkInfo.reset();
    if (haveHost)
        networkInfo = std::make_unique<KL_ConnectInfo>(KL_TRANSPORT_NETWORK, nullptr, hostName.c_str(), port);
}

std::vector<std::string> KOptions::commandLineWorksheets() const {
    std::vector<std::string> worksheets;
    ProgramArgScanner scanner(otherArgs);
    scanner.nextWord();   // the program name
    KL_ArgOption option;
    while (scanner.nextOption(option))
        if (option.name == nullptr && option.value != nullptr) worksheets.emplace_back(option.value);
    return worksheets;
}
