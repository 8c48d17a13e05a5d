// CZEPDrawSTLTool: node and face storage, and the ASCII STL text written in large blocks.
#include "zep3d/ZEPDrawSTLTool.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "draw/DrawMemory.h"
#include "draw/StlTextWriter.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "platform/ReplacementFile.h"

namespace {

constexpr int kFaceRecordSize = 5;  // [0] node count, [1] to [4] node indices

// The node-count rule of both face forms, for faces whose first three nodes are all at least 1.
int StoredNodeCount(int nNode, const int* nodes) {
    if (nodes[4] == nodes[3] || nodes[4] <= 0) return 3;
    return nNode;
}

bool FirstThreeSet(const int* nodes) { return nodes[1] >= 1 && nodes[2] >= 1 && nodes[3] >= 1; }

// The highest node a face may use. The caller's arrays without a node count reach as far as the
// caller's faces say: any node from 1 on.
int HighestNode(int nodeMode, int nodeCount) { return nodeMode == 2 && nodeCount == 0 ? INT_MAX : nodeCount; }

// Writes the facets of one face record ([0] count, [1] to [4] nodes), unless the face uses a
// node outside 1 to `highestNode` or there are no node arrays.
void OutputFile_20(zep::draw::StlTextWriter& out, bool haveNodes, int highestNode,
                   const std::vector<int>& face) {
    if (face.size() < static_cast<std::size_t>(kFaceRecordSize) || !haveNodes) return;
    const int nNode = face[0];
    if (nNode < 3) return;
    // Every node of the face must lie in the arrays; a face that reaches outside is not written. A node
    // lies in them when node - 1 is in [0, count), compared without sign.
    const unsigned count = static_cast<unsigned>(highestNode);
    const auto inside = [count](int node) { return static_cast<unsigned>(node) - 1u < count; };
    if (!inside(face[1]) || !inside(face[2]) || !inside(face[3])) return;
    if (nNode == 4) {
        if (!inside(face[4])) return;
        out.WriteFacet(face[1], face[2], face[3]);
        out.WriteFacet(face[3], face[4], face[1]);
    } else {
        out.WriteFacet(face[1], face[2], face[3]);
    }
}

void ReportWriteFailure(const char* path, int error) {
    std::string reason = zep::platform::SystemErrorText(error);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    const std::string message =
        std::string("CZEPDrawSTLTool::OutputFile()-Cannot write ") + path + ": " + reason;
    zep::platform::DebugOutput(message.c_str());
}

}  // namespace

CZEPDrawSTLTool::CZEPDrawSTLTool()
    : m_iNodeMode(0),
      m_iNNode(0),
      m_pfX(nullptr),
      m_pfY(nullptr),
      m_pfZ(nullptr),
      m_iNFace(0),
      m_pbFaceSet(nullptr),
      m_iNAppendedFace(0),
      m_vFace() {}

CZEPDrawSTLTool::CZEPDrawSTLTool(const CZEPDrawSTLTool& other) : CZEPDrawSTLTool() { CopyFrom(other); }

CZEPDrawSTLTool& CZEPDrawSTLTool::operator=(const CZEPDrawSTLTool& other) {
    if (this == &other) return *this;
    CZEPDrawSTLTool copy;
    if (copy.CopyFrom(other)) Swap(copy);
    return *this;
}

CZEPDrawSTLTool::~CZEPDrawSTLTool() {
    ReleaseOwnedNodes();
    delete[] m_pbFaceSet;
}

// Fills an empty tool with a copy of `other`; on a failed allocation it stays empty and returns false.
bool CZEPDrawSTLTool::CopyFrom(const CZEPDrawSTLTool& other) {
    try {
        std::vector<std::vector<int>> faces(other.m_vFace);
        std::unique_ptr<unsigned char[]> marks;
        if (other.m_pbFaceSet != nullptr) {
            // Marks exist for every face record (kept so by SetNFace and the appending SetFace20).
            marks.reset(new unsigned char[other.m_vFace.size()]);
            std::memcpy(marks.get(), other.m_pbFaceSet, other.m_vFace.size());
        }
        if (other.m_iNodeMode == 1) {
            std::size_t count = static_cast<std::size_t>(other.m_iNNode) + 1;
            float* arrays[3] = {nullptr, nullptr, nullptr};
            const float* sources[3] = {other.m_pfX, other.m_pfY, other.m_pfZ};
            for (int k = 0; k < 3; ++k) {
                arrays[k] = zep::draw::AllocateZeroedFloats(count);
                if (arrays[k] == nullptr) {
                    for (float* a : arrays) std::free(a);
                    return false;
                }
                std::memcpy(arrays[k], sources[k], count * sizeof(float));
            }
            m_pfX = arrays[0];
            m_pfY = arrays[1];
            m_pfZ = arrays[2];
        } else {
            // No arrays, or the caller's: those are shared, never released, exactly as in the source.
            m_pfX = other.m_pfX;
            m_pfY = other.m_pfY;
            m_pfZ = other.m_pfZ;
        }
        m_iNodeMode = other.m_iNodeMode;
        m_iNNode = other.m_iNNode;
        m_iNFace = other.m_iNFace;
        m_pbFaceSet = marks.release();
        m_iNAppendedFace = other.m_iNAppendedFace;
        m_vFace.swap(faces);
        return true;
    } catch (...) {
        return false;
    }
}

void CZEPDrawSTLTool::Swap(CZEPDrawSTLTool& other) noexcept {
    std::swap(m_iNodeMode, other.m_iNodeMode);
    std::swap(m_iNNode, other.m_iNNode);
    std::swap(m_pfX, other.m_pfX);
    std::swap(m_pfY, other.m_pfY);
    std::swap(m_pfZ, other.m_pfZ);
    std::swap(m_iNFace, other.m_iNFace);
    std::swap(m_pbFaceSet, other.m_pbFaceSet);
    std::swap(m_iNAppendedFace, other.m_iNAppendedFace);
    m_vFace.swap(other.m_vFace);
}

void CZEPDrawSTLTool::ReleaseOwnedNodes() {
    if (m_iNodeMode != 1) return;
    std::free(m_pfX);
    std::free(m_pfY);
    std::free(m_pfZ);
    m_pfX = m_pfY = m_pfZ = nullptr;
}

void CZEPDrawSTLTool::SetNNode(int NNode) {
    if (NNode < 0) return;
    std::size_t count = static_cast<std::size_t>(NNode) + 1;
    float* x = zep::draw::AllocateZeroedFloats(count);
    float* y = x != nullptr ? zep::draw::AllocateZeroedFloats(count) : nullptr;
    float* z = y != nullptr ? zep::draw::AllocateZeroedFloats(count) : nullptr;
    if (z == nullptr) {
        std::free(x);
        std::free(y);
        return;
    }
    ReleaseOwnedNodes();
    m_iNodeMode = 1;
    m_iNNode = NNode;
    m_pfX = x;
    m_pfY = y;
    m_pfZ = z;
}

bool CZEPDrawSTLTool::SetNode(float*& x, float*& y, float*& z) {
    // Arrays the tool created are of no further use once the caller's are in use.
    ReleaseOwnedNodes();
    m_iNodeMode = 2;
    m_pfX = x;
    m_pfY = y;
    m_pfZ = z;
    return true;
}

bool CZEPDrawSTLTool::SetNode(int i, float x, float y, float z) {
    if (m_iNodeMode != 1) {
        zep::platform::Print(
            "Error! SetNode(). You have to set node dimension first by SetNNode(int NNode)\n");
    }
    if (i < 1 || i > m_iNNode) return false;
    if (m_pfX == nullptr || m_pfY == nullptr || m_pfZ == nullptr) return false;
    m_pfX[i] = x;
    m_pfY[i] = y;
    m_pfZ[i] = z;
    return true;
}

void CZEPDrawSTLTool::SetNFace(int n) {
    if (n < 0) return;
    std::size_t count = static_cast<std::size_t>(n) + 1;
    std::size_t perFace = sizeof(std::vector<int>) + kFaceRecordSize * sizeof(int) + 1;
    if (count > SIZE_MAX / perFace || !zep::draw::MayAllocate(count * perFace)) return;
    try {
        std::unique_ptr<unsigned char[]> marks(new unsigned char[count]());
        // resize gives records of five zeros after the ones already there; every record the tool keeps
        // is five integers long, so the values already there stay as they are.
        m_vFace.resize(count, std::vector<int>(kFaceRecordSize, 0));
        delete[] m_pbFaceSet;
        m_pbFaceSet = marks.release();
        m_iNFace = n;
    } catch (...) {
        // The marks were not installed and resize either happened whole or not at all: nothing changed.
    }
}

bool CZEPDrawSTLTool::SetFace20(int iFace, int nNode, int* const nodes) {
    if (nodes == nullptr || iFace < 1 || iFace > m_iNFace) return false;
    if (static_cast<std::size_t>(iFace) >= m_vFace.size()) return false;
    std::vector<int>& face = m_vFace[static_cast<std::size_t>(iFace)];
    if (face.size() < static_cast<std::size_t>(kFaceRecordSize)) return false;
    int* record = face.data();
    record[0] = nNode;
    for (int k = 1; k < kFaceRecordSize; ++k) record[k] = nodes[k];
    if (!FirstThreeSet(nodes)) return false;
    record[0] = StoredNodeCount(nNode, nodes);
    if (m_pbFaceSet != nullptr) m_pbFaceSet[iFace] = 1;
    return true;
}

bool CZEPDrawSTLTool::SetFace20(int nNode, int* const nodes) {
    if (nodes == nullptr) return false;
    try {
        if (m_iNAppendedFace == 0) {
            // The first appended face replaces the faces given by index, and from now on every stored
            // face is written.
            std::vector<int> placeholder(kFaceRecordSize, 0);
            if (m_vFace.capacity() == 0) m_vFace.reserve(1);
            m_vFace.clear();  // keeps the room a caller may have reserved
            m_vFace.push_back(std::move(placeholder));
            delete[] m_pbFaceSet;
            m_pbFaceSet = nullptr;
        } else if (m_pbFaceSet != nullptr) {
            // SetNFace came after earlier appended faces: its marks cover only the records it made.
            // Records that are not marked are cleared (a count of 0 writes nothing), so the marks can go
            // and the list can grow past them.
            for (std::size_t i = 1; i < m_vFace.size(); ++i) {
                if (m_pbFaceSet[i] == 0) std::fill(m_vFace[i].begin(), m_vFace[i].end(), 0);
            }
            delete[] m_pbFaceSet;
            m_pbFaceSet = nullptr;
        }
        if (m_iNAppendedFace < INT_MAX) ++m_iNAppendedFace;
        if (!FirstThreeSet(nodes)) return false;
        std::vector<int> record{StoredNodeCount(nNode, nodes), nodes[1], nodes[2], nodes[3], nodes[4]};
        m_vFace.push_back(std::move(record));
        return true;
    } catch (...) {
        return false;
    }
}

void CZEPDrawSTLTool::OutputFile(const char* path) {
    try {
        m_iNFace = m_vFace.empty() ? 0 : static_cast<int>(m_vFace.size() - 1);
        if (path == nullptr) return;
        zep::platform::ReplacementFile file(path);
        int error = file.Prepare();
        if (error == 0) {
            const int highestNode = HighestNode(m_iNodeMode, m_iNNode);
            const bool haveNodes = m_pfX != nullptr && m_pfY != nullptr && m_pfZ != nullptr;
            zep::draw::StlTextWriter out(m_pfX, m_pfY, m_pfZ, highestNode);
            if (out.Open(file.WritePath().c_str(), !file.InPlace())) {
                out.WriteSolid();
                for (int i = 1; i <= m_iNFace; ++i) {
                    if (m_pbFaceSet != nullptr && m_pbFaceSet[i] == 0) continue;
                    OutputFile_20(out, haveNodes, highestNode, m_vFace[static_cast<std::size_t>(i)]);
                }
                error = out.Close();
            } else {
                error = zep::platform::LastSystemError();
                if (error == 0) error = EIO;
            }
            if (error == 0) error = file.Commit();
        }
        if (error != 0) ReportWriteFailure(path, error);
    } catch (...) {
        // Out of memory: the temporary file is removed and the old file stays.
        zep::platform::DebugOutput("CZEPDrawSTLTool::OutputFile()-Out of memory!");
    }
}
