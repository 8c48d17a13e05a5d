// CZEPDrawVectorTool: draws line segments as flat arrow triangles and writes them as an ASCII STL file.
#ifndef ZEP3D_INCLUDE_ZEPDRAWVECTORTOOL_H_
#define ZEP3D_INCLUDE_ZEPDRAWVECTORTOOL_H_

#include <array>
#include <utility>
#include <vector>

#include "zep3d/Export.h"
#include "zep3d/ZEPDrawSTLTool.h"

// Vectors drawn as arrows: each line from a start point P to an end point Q becomes one triangle with
// the vertices P, Q and T, where T lies beside P, perpendicular to the line, at a distance of the
// line's length times the base ratio (0.05 unless set). The file is that of CZEPDrawSTLTool: "solid"
// and one facet per line, in the order the lines were added.
//
// Lines join nodes, which come either from three arrays handed over by SetNode (their ownership
// passes to the tool) or from the points that SetLine10 with coordinates adds. No call throws.
//
// Not thread-safe: one object is used by one thread at a time.
class ZEP3DTOOL_API CZEPDrawVectorTool {
  public:
    // An empty tool: no lines, no nodes, trace off, base ratio 0.05.
    CZEPDrawVectorTool();

    // The copy writes the same file as `other` and owns all it holds: its lines, points, its member
    // STL tool and a copy of nodes 0 to the node count of the handed-over arrays (released with array
    // delete like the source's). If memory for the copy cannot be had, the copy is an empty tool.
    CZEPDrawVectorTool(const CZEPDrawVectorTool& other);

    // Copies `other` as the copy constructor does; the arrays this tool held are released. If memory for
    // the copy cannot be had, this tool keeps what it had.
    CZEPDrawVectorTool& operator=(const CZEPDrawVectorTool& other);

    // Releases the lines, the points and the handed-over arrays (with array delete, each array once).
    virtual ~CZEPDrawVectorTool();

    // Hands the three arrays OVER to the tool: unlike CZEPDrawSTLTool::SetNode, the tool now owns them
    // and releases them with array delete (when it ends, or when other arrays are handed over), so the
    // caller allocates them with new[] and never releases them itself. They are indexed by node index
    // (element 0 is not used) and give nodes 1 to nNode to every line, also to lines added before;
    // from now on SetLine10 with coordinates is refused. At output, a line that joins a node outside
    // 1 to nNode is left out. Returns true.
    // REQUIRES: each array was allocated with new[] and has at least nNode + 1 elements.
    bool SetNode(float*& x, float*& y, float*& z, int nNode);

    // Adds the line from node iStart to node iEnd and returns true; returns false and adds nothing when
    // either index lies outside 1 to the current node count.
    bool SetLine10(int iStart, int iEnd);

    // Adds the points (x1, y1, z1) and (x2, y2, z2) and the line between them and returns true (with the
    // trace on, first writes the line "SetLine10(x,y,z, x,y,z)" to standard output). Returns false and
    // adds nothing once arrays have been handed over by SetNode, or when memory runs out.
    bool SetLine10(float x1, float y1, float z1, float x2, float y2, float z2);

    // Sets the ratio of an arrow's base width to its length; a ratio that is not above 0 (NaN too) is
    // ignored.
    void SetBaseLengthRatio(float ratio);

    // Turns the trace lines of SetLine10 with coordinates and of OutputFile_STL on (any value but 0)
    // or off (0). The trace is off in a new tool.
    void SetTrace(int iTrace);

    // Replaces the file `path` by "solid" and one arrow facet per line, in the order the lines were
    // added, as CZEPDrawSTLTool::OutputFile writes it. With the trace on, first writes the line
    // "OutputFile_STL() nTotalLine=" and the number of lines to standard output. Every call builds the
    // arrows anew, so a second call writes the same file as the first. A failure leaves the old file
    // of that name as it was and is reported on the debugger channel: a failed write as OutputFile
    // reports it, and "CZEPDrawVectorTool::OutputFile_STL()-Out of memory!" when memory for the arrows
    // cannot be had.
    void OutputFile_STL(const char* path);

  protected:
    // Sets node iSTL of `stl` to node iNode of this tool; does nothing for a node this tool does not
    // have.
    void SetSTLTool_Node(CZEPDrawSTLTool& stl, int iSTL, int iNode);
    // Sets node iSTL of `stl` to (x, y, z).
    void SetSTLTool_Node(CZEPDrawSTLTool& stl, int iSTL, float x, float y, float z);

    // The third vertex T of the arrow from node iStart to node iEnd; leaves x, y, z unchanged when either
    // node is one this tool does not have.
    void GetVector_TrianglePoint(int iStart, int iEnd, float& x, float& y, float& z);
    // The third vertex T of the arrow from (x1, y1, z1) to (x2, y2, z2), in single precision. A line of
    // length 0 has no direction: T is then NaN in every coordinate.
    void GetVector_TrianglePoint(float x1, float y1, float z1, float x2, float y2, float z2, float& x,
                                 float& y, float& z);

    // A unit vector perpendicular to (dx, dy, dz): the component of smallest magnitude is dropped and
    // the other two are swapped with one sign change ((0, dz, -dy), (dz, 0, -dx) or (dy, -dx, 0); ties
    // fall to the later choice), then scaled by 1 / length in single precision.
    void GetDirectionVector(float dx, float dy, float dz, float& x, float& y, float& z);

  private:
    // Node i of the current source (the handed-over arrays, else the points); false when it has none.
    bool GetNodePoint(int i, float& x, float& y, float& z) const;
    bool BuildArrows(CZEPDrawSTLTool& stl);
    void ReleaseArrays();
    bool CopyFrom(const CZEPDrawVectorTool& other);
    void Swap(CZEPDrawVectorTool& other) noexcept;

    std::vector<std::pair<int, int>> m_vLine;  // (start, end) node indices, in the order added
    int m_iNodeMode;                           // 0 at construction; 2 once arrays were handed over
    float* m_pfX;                              // the handed-over arrays, owned; null until SetNode
    float* m_pfY;
    float* m_pfZ;
    std::vector<std::array<float, 3>> m_vPoint;  // points of coordinate lines; entry 0 a placeholder
    int m_iNNode;                                // lines may join nodes 1 to m_iNNode
    int m_iNLine;                                // lines added through SetLine10
    int m_iTrace;                                // not 0: the two trace lines are written
    CZEPDrawSTLTool m_STLTool;                   // receives the arrows and writes the file
    float m_fBaseLengthRatio;                    // base width / length of an arrow
};

#endif  // ZEP3D_INCLUDE_ZEPDRAWVECTORTOOL_H_
