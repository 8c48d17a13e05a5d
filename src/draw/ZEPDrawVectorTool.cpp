// CZEPDrawVectorTool: lines, their node sources, and the arrow triangles handed to the STL writer.
#include "zep3d/ZEPDrawVectorTool.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "draw/DrawMemory.h"
#include "platform/Console.h"
#include "platform/Platform.h"

namespace {

constexpr float kDefaultBaseLengthRatio = 0.05f;

// Releases each distinct array of the three once (the caller may have handed the same array over
// twice), except those that are still in use in `keep`.
void ReleaseDistinct(float* arrays[3], float* const keep[3]) {
    for (int i = 0; i < 3; ++i) {
        float* a = arrays[i];
        if (a == nullptr) continue;
        bool seen = false;
        for (int j = 0; j < i; ++j) seen = seen || arrays[j] == a;
        for (int j = 0; j < 3; ++j) seen = seen || keep[j] == a;
        if (!seen) delete[] a;
    }
}

}  // namespace

CZEPDrawVectorTool::CZEPDrawVectorTool()
    : m_vLine(),
      m_iNodeMode(0),
      m_pfX(nullptr),
      m_pfY(nullptr),
      m_pfZ(nullptr),
      m_vPoint(),
      m_iNNode(0),
      m_iNLine(0),
      m_iTrace(0),
      m_STLTool(),
      m_fBaseLengthRatio(kDefaultBaseLengthRatio) {}

CZEPDrawVectorTool::CZEPDrawVectorTool(const CZEPDrawVectorTool& other) : CZEPDrawVectorTool() {
    CopyFrom(other);
}

CZEPDrawVectorTool& CZEPDrawVectorTool::operator=(const CZEPDrawVectorTool& other) {
    if (this == &other) return *this;
    CZEPDrawVectorTool copy;
    if (copy.CopyFrom(other)) Swap(copy);
    return *this;
}

CZEPDrawVectorTool::~CZEPDrawVectorTool() { ReleaseArrays(); }

void CZEPDrawVectorTool::ReleaseArrays() {
    float* arrays[3] = {m_pfX, m_pfY, m_pfZ};
    float* const none[3] = {nullptr, nullptr, nullptr};
    ReleaseDistinct(arrays, none);
    m_pfX = m_pfY = m_pfZ = nullptr;
}

// Fills an empty tool with a copy of `other`; on a failed allocation it stays empty and returns false.
bool CZEPDrawVectorTool::CopyFrom(const CZEPDrawVectorTool& other) {
    float* arrays[3] = {nullptr, nullptr, nullptr};
    try {
        std::vector<std::pair<int, int>> lines(other.m_vLine);
        std::vector<std::array<float, 3>> points(other.m_vPoint);
        CZEPDrawSTLTool stl;
        if (!stl.CopyFrom(other.m_STLTool)) return false;
        // The copy owns arrays of its own: nodes 0 to the node count, as the caller promised them.
        const float* sources[3] = {other.m_pfX, other.m_pfY, other.m_pfZ};
        if (other.m_iNNode >= 0) {
            std::size_t count = static_cast<std::size_t>(other.m_iNNode) + 1;
            for (int k = 0; k < 3; ++k) {
                if (sources[k] == nullptr) continue;
                arrays[k] = zep::draw::NewFloatArray(count);
                if (arrays[k] == nullptr) {
                    for (float* a : arrays) delete[] a;
                    return false;
                }
                std::memcpy(arrays[k], sources[k], count * sizeof(float));
            }
        }
        m_vLine.swap(lines);
        m_iNodeMode = other.m_iNodeMode;
        m_pfX = arrays[0];
        m_pfY = arrays[1];
        m_pfZ = arrays[2];
        m_vPoint.swap(points);
        m_iNNode = other.m_iNNode;
        m_iNLine = other.m_iNLine;
        m_iTrace = other.m_iTrace;
        m_STLTool.Swap(stl);
        m_fBaseLengthRatio = other.m_fBaseLengthRatio;
        return true;
    } catch (...) {
        for (float* a : arrays) delete[] a;
        return false;
    }
}

void CZEPDrawVectorTool::Swap(CZEPDrawVectorTool& other) noexcept {
    m_vLine.swap(other.m_vLine);
    std::swap(m_iNodeMode, other.m_iNodeMode);
    std::swap(m_pfX, other.m_pfX);
    std::swap(m_pfY, other.m_pfY);
    std::swap(m_pfZ, other.m_pfZ);
    m_vPoint.swap(other.m_vPoint);
    std::swap(m_iNNode, other.m_iNNode);
    std::swap(m_iNLine, other.m_iNLine);
    std::swap(m_iTrace, other.m_iTrace);
    m_STLTool.Swap(other.m_STLTool);
    std::swap(m_fBaseLengthRatio, other.m_fBaseLengthRatio);
}

bool CZEPDrawVectorTool::SetNode(float*& x, float*& y, float*& z, int nNode) {
    // Arrays handed over before are released now, unless they are handed over again.
    float* old[3] = {m_pfX, m_pfY, m_pfZ};
    float* const kept[3] = {x, y, z};
    ReleaseDistinct(old, kept);
    m_iNodeMode = 2;
    m_pfX = x;
    m_pfY = y;
    m_pfZ = z;
    m_iNNode = nNode;
    return true;
}

bool CZEPDrawVectorTool::SetLine10(int iStart, int iEnd) {
    if (iStart > m_iNNode || iEnd > m_iNNode || iStart < 1 || iEnd < 1) return false;
    if (m_vLine.size() >= static_cast<std::size_t>(INT_MAX)) return false;
    try {
        m_vLine.emplace_back(iStart, iEnd);
    } catch (...) {
        return false;
    }
    ++m_iNLine;
    return true;
}

bool CZEPDrawVectorTool::SetLine10(float x1, float y1, float z1, float x2, float y2, float z2) {
    if (m_iNodeMode == 2) return false;
    if (m_iTrace != 0) zep::platform::Print("SetLine10(x,y,z, x,y,z)\n");
    int n = m_iNNode;
    if (n > INT_MAX - 2 || m_vLine.size() >= static_cast<std::size_t>(INT_MAX)) return false;
    try {
        // Room first, so that the points and the line are added together or not at all.
        m_vPoint.reserve(static_cast<std::size_t>(n) + 3);
        m_vLine.reserve(m_vLine.size() + 1);
    } catch (...) {
        return false;
    }
    if (m_vPoint.empty()) m_vPoint.push_back({0.0f, 0.0f, 0.0f});  // point 0 is never a node
    m_vPoint.push_back({x1, y1, z1});
    m_vPoint.push_back({x2, y2, z2});
    m_iNNode = n + 2;
    return SetLine10(n + 1, n + 2);
}

void CZEPDrawVectorTool::SetBaseLengthRatio(float ratio) {
    if (ratio > 0.0f) m_fBaseLengthRatio = ratio;
}

void CZEPDrawVectorTool::SetTrace(int iTrace) { m_iTrace = iTrace; }

bool CZEPDrawVectorTool::GetNodePoint(int i, float& x, float& y, float& z) const {
    if (i < 1 || i > m_iNNode) return false;
    if (m_iNodeMode == 2) {
        if (m_pfX == nullptr || m_pfY == nullptr || m_pfZ == nullptr) return false;
        x = m_pfX[i];
        y = m_pfY[i];
        z = m_pfZ[i];
        return true;
    }
    if (static_cast<std::size_t>(i) >= m_vPoint.size()) return false;
    const std::array<float, 3>& p = m_vPoint[static_cast<std::size_t>(i)];
    x = p[0];
    y = p[1];
    z = p[2];
    return true;
}

void CZEPDrawVectorTool::SetSTLTool_Node(CZEPDrawSTLTool& stl, int iSTL, int iNode) {
    float x, y, z;
    if (GetNodePoint(iNode, x, y, z)) stl.SetNode(iSTL, x, y, z);
}

void CZEPDrawVectorTool::SetSTLTool_Node(CZEPDrawSTLTool& stl, int iSTL, float x, float y, float z) {
    stl.SetNode(iSTL, x, y, z);
}

void CZEPDrawVectorTool::GetDirectionVector(float dx, float dy, float dz, float& x, float& y, float& z) {
    float ax = std::fabs(dx);
    float ay = std::fabs(dy);
    float az = std::fabs(dz);
    if (ay > ax) {
        if (az > ax) {
            x = 0.0f;
            y = dz;
            z = -dy;
        } else {
            x = dy;
            y = -dx;
            z = 0.0f;
        }
    } else if (az > ay) {
        x = dz;
        y = 0.0f;
        z = -dx;
    } else {
        x = dy;
        y = -dx;
        z = 0.0f;
    }
    float scale = 1.0f / std::sqrt(x * x + y * y + z * z);
    x *= scale;
    y *= scale;
    z *= scale;
}

void CZEPDrawVectorTool::GetVector_TrianglePoint(float x1, float y1, float z1, float x2, float y2, float z2,
                                                 float& x, float& y, float& z) {
    float dx = x2 - x1;
    float dy = y2 - y1;
    float dz = z2 - z1;
    float ux, uy, uz;
    GetDirectionVector(dx, dy, dz, ux, uy, uz);
    float base = std::sqrt(dx * dx + dy * dy + dz * dz) * m_fBaseLengthRatio;
    x = x1 + base * ux;
    y = y1 + base * uy;
    z = z1 + base * uz;
}

void CZEPDrawVectorTool::GetVector_TrianglePoint(int iStart, int iEnd, float& x, float& y, float& z) {
    float x1, y1, z1, x2, y2, z2;
    if (!GetNodePoint(iStart, x1, y1, z1) || !GetNodePoint(iEnd, x2, y2, z2)) return;
    GetVector_TrianglePoint(x1, y1, z1, x2, y2, z2, x, y, z);
}

// Fills an empty STL tool with one arrow per line: nodes 3k + 1 (start), 3k + 2 (end) and 3k + 3 (base
// corner) and the triangle over them. False when memory for it cannot be had.
bool CZEPDrawVectorTool::BuildArrows(CZEPDrawSTLTool& stl) {
    std::size_t n = m_vLine.size();
    if (n > static_cast<std::size_t>(INT_MAX / 3)) return false;
    int nodes = static_cast<int>(3 * n);
    stl.SetNNode(nodes);
    if (stl.m_iNodeMode != 1 || stl.m_iNNode != nodes) return false;
    if (n == 0) return true;
    try {
        stl.m_vFace.reserve(n + 1);
    } catch (...) {
        return false;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const std::pair<int, int>& line = m_vLine[k];
        float px, py, pz, qx, qy, qz, tx, ty, tz;
        // A line may join nodes that a later SetNode with fewer nodes no longer has: it is left out.
        if (!GetNodePoint(line.first, px, py, pz) || !GetNodePoint(line.second, qx, qy, qz)) continue;
        GetVector_TrianglePoint(px, py, pz, qx, qy, qz, tx, ty, tz);
        int first = static_cast<int>(3 * k) + 1;
        SetSTLTool_Node(stl, first, px, py, pz);
        SetSTLTool_Node(stl, first + 1, qx, qy, qz);
        SetSTLTool_Node(stl, first + 2, tx, ty, tz);
        int face[5] = {0, first, first + 1, first + 2, 0};
        if (!stl.SetFace20(3, face)) return false;  // its nodes are valid: only memory can fail
    }
    return true;
}

void CZEPDrawVectorTool::OutputFile_STL(const char* path) {
    if (m_iTrace != 0)
        zep::platform::Print("OutputFile_STL() nTotalLine=%d\n", static_cast<int>(m_vLine.size()));
    // A fresh member tool every time: the arrows of an earlier call do not stay ahead of these.
    CZEPDrawSTLTool stl;
    if (BuildArrows(stl)) {
        m_STLTool.Swap(stl);
        m_STLTool.OutputFile(path);
        return;
    }
    // No memory for the arrows: no file is written and the old one stays.
    CZEPDrawSTLTool empty;
    m_STLTool.Swap(empty);
    zep::platform::DebugOutput("CZEPDrawVectorTool::OutputFile_STL()-Out of memory!");
}
