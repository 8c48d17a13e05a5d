// Cluster job companion: creates a job on the cluster scheduler, reads its state and waits for it.
#ifndef ZEP3D_COMPANIONS_ZEPHPCTOOL_H_
#define ZEP3D_COMPANIONS_ZEPHPCTOOL_H_

#include <string>

#include "ZEPCompanionExport.h"

// How a job is spread: one node, or several.
enum ComputingMode { ZEP_COMPUTING_SINGLE_NODE = 0, ZEP_COMPUTING_MULTI_NODE = 1 };

// The state of a job as the scheduler reports it.
enum ZEPJobState {
    ZEP_JOB_UNKNOWN = 0,
    ZEP_JOB_QUEUED,
    ZEP_JOB_RUNNING,
    ZEP_JOB_FINISHED,
    ZEP_JOB_FAILED,
    ZEP_JOB_CANCELED
};

// What the scheduler says of one job; filled by CZEPHpcTool::HPC_GetJobInfo.
class ZEPHPCTOOL_API CZEPHPCJobInfoMessage {
  public:
    CZEPHPCJobInfoMessage();
    ~CZEPHPCJobInfoMessage();

    // Summaries of the job for the console: NUL-terminated texts owned by this object, valid until the
    // next call on it.
    const char* PrintJobBasicStartInfo();
    const char* PrintJobBasicEndInfo();

    long m_lJobID;
    ZEPJobState m_eState;
    std::string m_sJobName;
    std::string m_sState;
    std::string m_sNodes;
    std::string m_sSubmitTime;
    std::string m_sStartTime;
    std::string m_sEndTime;
    std::string m_sExitCode;

  private:
    std::string m_sText;
};

class ZEPHPCTOOL_API CZEPHpcTool {
  public:
    CZEPHpcTool();
    ~CZEPHpcTool();

    // Names the cluster's head node for every later call in this process ("host", "host:port" or
    // "[address]:port"; port 22 unless given); null gives the choice back to the environment variable
    // ZEP_HPC_HEAD_NODE, and an empty name means none. With a head node the jobs are submitted, watched
    // and summarised over SSH on it, logged in with the account that HPC_CreateJob is given (the user's
    // known_hosts must accept the head node, as for the remote shell companion). Without one, Slurm
    // runs on this machine; the Windows build has no other way and fails with -1.
    static void HPC_SetHeadNode(const char* headNode);

    // Submits a job; 0 on success with jobId set, otherwise a failure code. The arrays are the caller's.
    int HPC_CreateJob(long& jobId, const char* user, const char* password, const char* jobName,
                      ComputingMode mode, int nodeCount, char* const nodeNames[], const int taskCounts[],
                      const char* exePath, const char* arguments, const char* workFolder,
                      const char* stdoutPath, const char* stderrPath, const char* scheduler);

    // Fills info with what the scheduler says of the job; 0 on success.
    int HPC_GetJobInfo(const long& jobId, CZEPHPCJobInfoMessage& info, const char* scheduler);

    // Returns when the job has ended; 0 on success.
    int HPC_WaitJobToFinish(const long& jobId, ZEPJobState& state, const char* workFolder,
                            const char* nodeName, const char* scheduler);
};

#endif  // ZEP3D_COMPANIONS_ZEPHPCTOOL_H_
