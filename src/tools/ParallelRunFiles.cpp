// Writing the parallel run files: the partition file (".ppp") that the solver reads and the launcher
// file (".pwf") that the MPI launcher reads with "-configfile"; rewriting the solver command line so
// that every machine reaches the program and the project through network paths.
#include <cstdio>
#include <iostream>
#include <iterator>

#include "platform/Console.h"
#include "platform/Platform.h"
#include "tools/CommandHandler.h"

namespace {

constexpr int kRemoveWaitMs = 100;
constexpr int kOpenWaitMs = 500;

// The error text when a run file cannot be created.
std::string CannotCreate(const std::string& path) {
    return "\nError! Cannot not create " + path + " to initiate parallel computing.\n";
}

}  // namespace

int CommandHandler::WriteParallelFile() {
    if (m_iStatus < kSingleMachineRun) return m_iStatus;
    const bool trace = m_iDebug >= kTraceLevel;
    if (trace) zep::platform::Stream() << "\n======In CommandHandler::WriteParallelFile======\n";

    m_pFileIO->RemoveFile(m_sPPPName.c_str(), kRemoveWaitMs);
    m_pFileIO->RemoveFile(m_sPWFName.c_str(), kRemoveWaitMs);
    std::ofstream ppp;
    std::ofstream pwf;
    const int pppResult = m_pFileIO->OpenFile(ppp, m_sPPPName.c_str(), std::ios::out, kOpenWaitMs);
    const int pwfResult = m_pFileIO->OpenFile(pwf, m_sPWFName.c_str(), std::ios::out, kOpenWaitMs);
    if (pppResult != 0) {
        SetFailure(kNoPartitionFile, CannotCreate(m_sPPPName));
        return m_iStatus;
    }
    if (pwfResult != 0) {
        SetFailure(kNoLauncherFile, CannotCreate(m_sPWFName));
        return m_iStatus;
    }

    ppp << "#NPartition" << '\n' << m_nproc << '\n';
    if (m_bIsSMP) {
        ppp << "#ParallelMode_IS_SMP" << '\n';
        return FinishRunFiles(ppp, pwf) ? 0 : m_iStatus;
    }

    const bool onLinuxNode = m_iTaskMode == kLinuxMachines;
    const size_t machines = m_vMachines.empty() ? 0 : m_vMachines.size() - 1;
    if (trace) zep::platform::Stream() << "     Step 1. Command line is " << m_sCommandLine << '\n';
    const std::string configuration = IntelMPIConfigurationText(m_sWinRunPath);
    pwf << configuration;
    if (trace) zep::platform::Print("IMPIString=[%s]\n", configuration.c_str());
    if (onLinuxNode) {
        pwf << "-machinefile " << '"' << m_sLinRunPath << "/machines.txt" << '"' << " -n " << m_nproc << ' ';
    } else {
        pwf << " -noprompt -hosts " << machines;
        ppp << "hosts" << '\n';
    }
    // A refused command line leaves both files as they stand.
    if (!RewriteCommandLine()) return m_iStatus;
    if (trace) zep::platform::Stream() << "     Step 2. Command line is " << m_sCommandLine << "\n\n";

    std::vector<std::string> items;
    if (!onLinuxNode && !MachineItems(items)) return m_iStatus;
    for (size_t i = 1; i <= machines; ++i) {
        ppp << m_vMachines[i] << (onLinuxNode ? "" : "\\bin\\") << m_sExeName << ' ' << m_sCommandLine
            << '\n';
        if (!onLinuxNode) {
            pwf << ' ' << items[i - 1] << ' ';
        } else if (i == 1) {
            pwf << ' ' << '"' << m_sSharedTarvik3DName << '/' << m_sExeName << '"' << ' ';
        }
    }
    pwf << m_sCommandLine;
    ppp << "#ParaWeightFactor ";
    for (size_t i = 1; i < m_vWeightFactor.size(); ++i) ppp << ' ' << m_vWeightFactor[i];
    ppp << '\n';
    if (!FinishRunFiles(ppp, pwf)) return m_iStatus;

    if (onLinuxNode) {
        m_sLinMPIArgument.clear();
        std::ifstream back;
        if (m_pFileIO->OpenFile(back, m_sPWFName.c_str(), std::ios::in, kOpenWaitMs) == 0) {
            m_sLinMPIArgument.assign(std::istreambuf_iterator<char>(back), std::istreambuf_iterator<char>());
            back.close();
        }
        size_t dollar = m_sLinMPIArgument.find('$');
        if (dollar != std::string::npos) m_sLinMPIArgument.insert(dollar, 1, '\\');
    }
    return m_iStatus;
}

bool CommandHandler::FinishRunFiles(std::ofstream& ppp, std::ofstream& pwf) {
    // A stream that failed a write keeps its failure through the close; the close adds its own.
    ppp.close();
    const bool pppWritten = !ppp.fail();
    pwf.close();
    const bool pwfWritten = !pwf.fail();
    if (pppWritten && pwfWritten) return true;
    // A run must not start from a truncated file: neither file of the pair is left.
    zep::platform::RemoveFile(m_sPPPName.c_str());
    zep::platform::RemoveFile(m_sPWFName.c_str());
    if (!pppWritten) {
        SetFailure(kNoPartitionFile, CannotCreate(m_sPPPName));
    } else {
        SetFailure(kNoLauncherFile, CannotCreate(m_sPWFName));
    }
    return false;
}

bool CommandHandler::RewriteCommandLine() {
    const std::string& folder = m_sParallelWorkingFolderName;
    const bool onLinuxNode = m_iTaskMode == kLinuxMachines;
    std::string& line = m_sCommandLine;
    auto refuse = [this]() {
        SetWorkingFolderFailure();
        return false;
    };
    const std::string hostShare = "\\\\" + m_sLocalHostName + "\\" + m_sSharedDriveName;

    const size_t firstStar = line.find('*');
    if (firstStar == std::string::npos) return refuse();
    if (folder.empty()) {
        // Only the drive letter of the project part changes.
        const size_t colon = line.find(':', firstStar);
        if (colon == std::string::npos) return refuse();
        const std::string share = onLinuxNode ? "/" + m_sSharedDriveName + "/" + m_sBaseName : hostShare;
        line.replace(colon - 1, 2, share);
        return true;
    }

    const size_t secondStar = line.find('*', firstStar + 1);
    if (secondStar == std::string::npos) return refuse();
    if (!onLinuxNode && m_iNoPathMapping == 0) {
        const size_t found = line.find(folder, firstStar);
        if (found == std::string::npos || found > secondStar) return refuse();
    }

    // The program part: from the character after the first double quote (selector 3) or from the second
    // character, up to the first "*".
    size_t programStart = 1;
    if (m_iCommand == 3) {
        const size_t quote = line.find('"');
        if (quote == std::string::npos || quote >= firstStar) return refuse();
        programStart = quote + 1;
    }
    if (programStart > firstStar) return refuse();
    const std::string programShare =
        onLinuxNode ? m_sLinZep3DHomeDir : "\\\\" + m_sLocalHostName + "\\" + m_sSharedTarvik3DName + "\\";
    line.replace(programStart, firstStar - programStart, programShare);

    const size_t star1 = programStart + programShare.size();
    if (onLinuxNode) {
        const size_t star2 = line.find('*', star1 + 1);
        line.replace(star1 + 1, star2 - star1 - 1, m_sLinProjectDir);
    } else if (m_iNoPathMapping == 0) {
        const size_t found = line.find(folder, star1);
        if (found != std::string::npos) line.replace(found, folder.size(), hostShare);
    }
    return true;
}

bool CommandHandler::MachineItems(std::vector<std::string>& items) {
    const size_t machines = m_vMachines.empty() ? 0 : m_vMachines.size() - 1;
    items.clear();
    for (size_t i = 1; i <= machines; ++i) {
        const std::string entry = MachineEntryWithSpaces(i);
        // Host and task count end at the last space before the installation's share name (the last
        // space of the entry when the name is not in it); an entry without one cannot be cut.
        const size_t name = entry.rfind(m_sSharedTarvik3DName);
        size_t space = std::string::npos;
        if (name == std::string::npos) {
            space = entry.rfind(' ');
        } else if (name > 0) {
            space = entry.rfind(' ', name - 1);
        }
        if (space == std::string::npos) {
            SetWorkingFolderFailure();
            return false;
        }
        if (i < machines) {
            items.push_back(entry.substr(0, space));
        } else {
            items.push_back(entry.substr(0, space + 1) + '"' + entry.substr(space + 1) + "\\bin\\" +
                            m_sExeName + '"');
        }
    }
    return true;
}

void CommandHandler::SetWorkingFolderFailure() {
    SetFailure(kNotUnderWorkingFolder,
               "Symptom:\nThe following setting may not be correct.\n   [Share Project Disk Name] in "
               "[Computation Parameter].\n\nSolution:\n1. Please make sure that current analysis path is "
               "under \n   [Share Project Disk Name]\n2. Please re-install Tarvik3D and reset WorkingFolder "
               "\n   to correct the registry file again.\n");
}
