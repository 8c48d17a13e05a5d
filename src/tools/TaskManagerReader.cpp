// Reading the task-manager file (".cmx"): the task block, the machine block with its machine and weight
// lines, the per-task host table, and the run status that follows from them.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "platform/Console.h"
#include "tools/CommandHandler.h"

namespace {

constexpr int kWaitMs = 500;
// Task-manager files have short lines; a longer line means the file is not one, and it is refused as
// unreadable instead of being held in memory whole.
constexpr size_t kMaxLineLength = 1 << 20;

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The value of a key line when the line holds the key: the text after the last "=", leading spaces
// dropped (a value of spaces only keeps them), empty when there is no "=".
bool KeyValue(const std::string& line, const char* key, std::string& value) {
    if (line.find(key) == std::string::npos) return false;
    size_t equals = line.rfind('=');
    if (equals == std::string::npos) {
        value.clear();
        return true;
    }
    value = line.substr(equals + 1);
    size_t first = value.find_first_not_of(' ');
    if (first != std::string::npos) value.erase(0, first);
    return true;
}

// A decimal integer after leading white space, trailing text ignored; values beyond the int range are
// clamped to it.
bool ParseInt(const std::string& text, int& out) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(start, &end, 10);
    if (end == start) return false;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    out = static_cast<int>(value);
    return true;
}

bool ParseReal(const std::string& text, double& out) {
    const char* start = text.c_str();
    char* end = nullptr;
    double value = std::strtod(start, &end);
    if (end == start) return false;
    out = value;
    return true;
}

// The first white-space-delimited word (of the text up to its first zero byte).
bool ParseWord(const std::string& text, std::string& out) {
    const char* p = text.c_str();
    while (*p != 0 && IsSpace(*p)) ++p;
    const char* begin = p;
    while (*p != 0 && !IsSpace(*p)) ++p;
    if (p == begin) return false;
    out.assign(begin, p);
    return true;
}

// Scans up to three white-space-separated fields of a machine entry: host name, task count, folder.
// Returns how many were read, as a scanf of "%s %d %s" counts them.
int ScanMachineEntry(const std::string& entry, std::string& host, int& count, std::string& folder) {
    const char* p = entry.c_str();
    auto word = [&p](std::string& out) {
        while (*p != 0 && IsSpace(*p)) ++p;
        const char* begin = p;
        while (*p != 0 && !IsSpace(*p)) ++p;
        out.assign(begin, p);
        return p != begin;
    };
    if (!word(host)) return 0;
    std::string number(p);
    char* end = nullptr;
    long long value = std::strtoll(number.c_str(), &end, 10);
    if (end == number.c_str()) return 1;
    count = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
    p += end - number.c_str();
    return word(folder) ? 3 : 2;
}

}  // namespace

// Lines of the task-manager file. A CR LF pair is one line end, as Windows text mode reads it.
class CommandHandler::LineReader {
  public:
    explicit LineReader(std::ifstream& in) : in_(in) {}

    // The next line, without its line end; false at the end of the file or on a line that is too long.
    bool Next(std::string& line) {
        line.clear();
        if (done_) return false;
        std::streambuf* buffer = in_.rdbuf();
        bool any = false;
        for (;;) {
            int c = buffer->sbumpc();
            if (c == std::char_traits<char>::eof()) {
                done_ = true;
                return any;
            }
            any = true;
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
            if (line.size() >= kMaxLineLength) {
                done_ = true;
                tooLong_ = true;
                return false;
            }
            line.push_back(static_cast<char>(c));
        }
    }

    // The next line that is not empty.
    bool NextNonEmpty(std::string& line) {
        while (Next(line)) {
            if (!line.empty()) return true;
        }
        return false;
    }

    bool TooLong() const { return tooLong_; }

  private:
    std::ifstream& in_;
    bool done_ = false;
    bool tooLong_ = false;
};

int CommandHandler::ReadCMX4TaskManager() {
    std::ifstream in;
    if (m_pFileIO->OpenFile(in, m_sCMXName.c_str(), std::ios::in, kWaitMs) != 0) {
        SetFailure(kNoTaskManagerFile, "Error! Cannot find the following cmx file:\n" + m_sCMXName +
                                           "\nPlease check this and then rerun the analysis again\n");
        return m_iStatus;
    }
    LineReader reader(in);
    int version = 0;
    std::string line;
    while (reader.Next(line)) {
        if (line.find("<TASKMANAGER>") != std::string::npos) ReadTaskBlock(reader);
        if (m_iTaskMode < 0) continue;  // no task mode yet
        if (IsSingleMachineMode(m_iTaskMode)) {
            m_bIsSMP = true;
            m_vMachines.assign(1, std::string());
            m_iMachineEntriesExpected = 1;
            break;
        }
        m_bIsSMP = false;
        if (line.find("<REMOTE_MACHINES>") != std::string::npos) {
            if (ReadMachineBlock(reader, version) < 0) return m_iStatus;
        }
    }
    if (reader.TooLong()) {
        SetFailure(kNoTaskManagerFile, "Error! Cannot find the following cmx file:\n" + m_sCMXName +
                                           "\nPlease check this and then rerun the analysis again\n");
        return m_iStatus;
    }
    if (CheckMachineTaskCount() < 0) return m_iStatus;
    in.close();

    if (m_nproc <= 1 && m_iTaskMode != kWindowsMachines && m_iTaskMode != kLinuxMachines) {
        m_iStatus = kSerialRun;
    } else if (IsSingleMachineMode(m_iTaskMode)) {
        m_iStatus = kSingleMachineRun;
    } else if (m_iTaskMode == kWindowsMachines || m_iTaskMode == kLinuxMachines ||
               m_iTaskMode == kClusterNodes) {
        m_iStatus = kMultiMachineRun;
    } else {
        SetFailure(kBadTaskMode,
                   "Symptom:\nWrong Computing mode number setting in CMX.\n\nSolution:\n"
                   "1. Please check the IDTaskMode in .cmx file \n");
    }
    if (m_iTaskMode == kLinuxMachines) {
        m_sLinZep3DHomeDir = m_sSharedTarvik3DName;
        m_sLinMPIName = m_sLinZep3DHomeDir + "/MPICH/mpiexec";
        m_sLinExeFullPath = m_sLinZep3DHomeDir + "/" + m_sExeName;
    }
    TraceTaskManager();
    return m_iStatus;
}

void CommandHandler::ReadTaskBlock(LineReader& reader) {
    std::string line;
    std::string value;
    while (reader.Next(line)) {
        if (line.find("</TASKMANAGER>") != std::string::npos) return;
        if (KeyValue(line, "IDTaskMode", value)) ParseInt(value, m_iTaskMode);
        if (KeyValue(line, "ValueNoTask", value)) ParseInt(value, m_nproc);
        if (KeyValue(line, "ValueConsoleRedirection", value)) {
            ParseInt(value, m_iConsoleRedirection);
            m_bConsoleRedirection = m_iConsoleRedirection == 1;
        }
        if (KeyValue(line, "iDebug", value) && !ParseInt(value, m_iDebug)) m_iDebug = 0;
    }
}

int CommandHandler::ReadMachineBlock(LineReader& reader, int& version) {
    std::string line;
    std::string value;
    while (reader.Next(line)) {
        if (line.find("</REMOTE_MACHINES>") != std::string::npos) return 0;
        if (KeyValue(line, "Version", value)) ParseInt(value, version);
        if (version < 1003) {
            SetFailure(kOldTaskManagerFile, "Your .cmx file version (" + std::to_string(version) +
                                                ") is out-of-dated.\n"
                                                "Please upgrade your Tarvik3D project manager and then "
                                                "rerun the analysis.\n");
            return m_iStatus;
        }
        if (KeyValue(line, "ValueNoMachine", value)) ParseInt(value, m_nMachine);
        if (KeyValue(line, "ValueMap", value)) ParseWord(value, m_sMapDrive);
        if (KeyValue(line, "ValueShareFolderName", value)) m_sSharedDriveName = value;
        if (KeyValue(line, "ValueLocalHost", value)) ParseWord(value, m_sLocalHostName);
        if (KeyValue(line, "ValueParallelWorkingFolder", value)) m_sParallelWorkingFolderName = value;
        if (KeyValue(line, "ValueSharedTarvik3DName", value)) m_sSharedTarvik3DName = value;
        if (KeyValue(line, "ValueMinPort", value)) ParseInt(value, m_iMinPort);
        if (KeyValue(line, "ValueMaxPort", value)) ParseInt(value, m_iMaxPort);
        if (line.find("ValueMachineSetting") != std::string::npos) ReadMachineLines(reader);
        if (line.find("ValueMachineWeighting") != std::string::npos) return ReadWeights(reader);
    }
    return 0;
}

void CommandHandler::ReadMachineLines(LineReader& reader) {
    // The list grows line by line, so a machine count larger than the file holds costs nothing; the
    // entries it promised but the file lacks are refused when the tasks are checked.
    m_vMachines.clear();
    m_iMachineEntriesExpected = 0;
    if (m_nMachine < 0) return;
    m_vMachines.emplace_back();
    m_iMachineEntriesExpected = static_cast<size_t>(m_nMachine) + 1;
    std::string line;
    std::string value;
    for (int i = 1; i <= m_nMachine; ++i) {
        if (!reader.NextNonEmpty(line)) return;
        m_vMachines.emplace_back();
        if (KeyValue(line, std::to_string(i).c_str(), value)) m_vMachines.back() = value;
    }
}

int CommandHandler::ReadWeights(LineReader& reader) {
    // Every machine block appends its own 0.0 and its machines' weights, so a file with several blocks
    // has more weights than tasks, and all of them are kept. Only a list beyond kMaxWeightFactors,
    // which no real run comes near, is refused: it bounds the memory a file can ask for.
    if (m_vWeightFactor.size() >= kMaxWeightFactors) {
        SetInconsistentFailure();
        return m_iStatus;
    }
    m_vWeightFactor.push_back(0.0);
    std::string line;
    std::string value;
    for (int i = 1; i <= m_nMachine; ++i) {
        double weight = 0.0;
        if (reader.NextNonEmpty(line) && KeyValue(line, std::to_string(i).c_str(), value)) {
            ParseReal(value, weight);
        }
        if (static_cast<size_t>(i) >= m_vMachines.size()) {
            SetTaskCountFailure(std::string(), 0);
            return m_iStatus;
        }
        const std::string& entry = m_vMachines[static_cast<size_t>(i)];
        std::string host;
        std::string folder;
        int tasks = 0;
        if (ScanMachineEntry(entry, host, tasks, folder) < 2) {
            SetMachineLineFailure(entry);
            return m_iStatus;
        }
        if (tasks <= 0) {
            SetTaskCountFailure(entry, tasks);
            return m_iStatus;
        }
        if (static_cast<size_t>(tasks) > kMaxWeightFactors - m_vWeightFactor.size()) {
            SetInconsistentFailure();
            return m_iStatus;
        }
        const double share = tasks == 1 ? weight : weight / tasks;
        m_vWeightFactor.insert(m_vWeightFactor.end(), static_cast<size_t>(tasks), share);
    }
    return 0;
}

int CommandHandler::CheckMachineTaskCount() {
    if (m_nproc > kMaxTasks) {
        SetInconsistentFailure();
        return m_iStatus;
    }
    const size_t slots = m_nproc > 0 ? static_cast<size_t>(m_nproc) : 0;
    std::vector<std::string> hosts(slots);
    std::string folder;
    size_t next = 0;
    const size_t entries = std::max(m_vMachines.size(), m_iMachineEntriesExpected);
    for (size_t i = 1; i < entries; ++i) {
        const std::string entry = i < m_vMachines.size() ? m_vMachines[i] : std::string();
        std::string host;
        int tasks = 0;
        folder.clear();
        int fields = ScanMachineEntry(MachineEntryWithSpaces(i), host, tasks, folder);
        if (fields < 2 || host.size() > kMaxMachineField || folder.size() > kMaxMachineField) {
            SetMachineLineFailure(entry);
            return m_iStatus;
        }
        // More tasks than the run has, on one machine or on all together, cannot be given slots.
        if (tasks > m_nproc || (tasks > 0 && static_cast<size_t>(tasks) > slots - next)) {
            SetInconsistentFailure();
            return m_iStatus;
        }
        for (int k = 0; k < tasks; ++k) hosts[next++] = host;
    }
    m_sBinFolderName = folder + "\\Bin";
    m_sLinMPIName = folder + "MPICH/mpiexec";
    m_sLinExeFullPath = folder + m_sExeName;
    m_ppTaskHostName.swap(hosts);
    return m_iStatus;
}

std::string CommandHandler::MachineEntryWithSpaces(size_t i) const {
    std::string entry = i < m_vMachines.size() ? m_vMachines[i] : std::string();
    for (char& c : entry) {
        if (c == '\t') c = ' ';
    }
    return entry;
}

void CommandHandler::TraceTaskManager() {
    if (m_iDebug < kTraceLevel) return;
    zep::platform::Print("\n======In CommandHandler::ReadCMX4TaskManager======\n");
    zep::platform::Print("\n     Return vale=%d\n", m_iStatus);
    zep::platform::Print("     sCMXName=%s, IsSMP=%d, IdTaskModeValue=%d\n", m_sCMXName.c_str(),
                         m_bIsSMP ? 1 : 0, m_iTaskMode);
    zep::platform::Print("     sMapDrive=%s, sSharedDriveName=%s\n", m_sMapDrive.c_str(),
                         m_sSharedDriveName.c_str());
    zep::platform::Print("     m_sLocalHostName=%s\n", m_sLocalHostName.c_str());
    zep::platform::Print("     m_sParallelWorkingFolderName=%s, m_nproc=%d\n",
                         m_sParallelWorkingFolderName.c_str(), m_nproc);
    for (size_t i = 1; i < m_vMachines.size(); ++i) zep::platform::Print("     %s\n", m_vMachines[i].c_str());
    for (size_t i = 1; i < m_vWeightFactor.size(); ++i) zep::platform::Print("     %f\n", m_vWeightFactor[i]);
    zep::platform::Print("\n");
    zep::platform::Flush();
    if (m_iTaskMode == kLinuxMachines) {
        zep::platform::Stream() << "     SharedTarvik3DName=" << m_sSharedTarvik3DName << '\n'
                                << "     LinZep3DHomeDir=" << m_sLinZep3DHomeDir << '\n'
                                << "     WinRunPath=" << m_sWinRunPath << '\n'
                                << "     LinRunPath=" << m_sLinRunPath << '\n'
                                << "     nproc=" << m_nproc << '\n';
    }
    zep::platform::Stream() << '\n';
}
