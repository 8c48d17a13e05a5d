// CZEPDrawSTLTool: collects nodes and three- or four-node faces and writes them as an ASCII STL file.
#ifndef ZEP3D_INCLUDE_ZEPDRAWSTLTOOL_H_
#define ZEP3D_INCLUDE_ZEPDRAWSTLTOOL_H_

#include <vector>

#include "zep3d/Export.h"

class CZEPDrawVectorTool;

// A surface mesh written as ASCII STL. Nodes are addressed by a 1-based index; faces hold the node
// indices of a triangle or a quadrilateral (split into the triangles (1, 2, 3) and (3, 4, 1)). Facet
// normals are written as "0 0 0" and vertices in the caller's order, so orientation is the caller's
// business.
//
// Nodes come either from arrays the tool owns (SetNNode, then SetNode(i, x, y, z)) or from three arrays
// of the caller (SetNode(x, y, z)); faces either by index (SetNFace, then SetFace20(iFace, ...)) or by
// appending (SetFace20(nNode, nodes)). No call throws; failures are the results described below.
//
// Not thread-safe: one object is used by one thread at a time.
class ZEP3DTOOL_API CZEPDrawSTLTool {
  public:
    // An empty tool: no nodes, no faces.
    CZEPDrawSTLTool();

    // The copy writes the same file as `other` and owns its own storage: node arrays the source owns,
    // its face list and its marks are copied. A copy of a tool that uses the caller's arrays uses the
    // same caller's arrays (and, like its source, never releases them). If memory for the copy cannot
    // be had, the copy is an empty tool.
    CZEPDrawSTLTool(const CZEPDrawSTLTool& other);

    // Copies `other` as the copy constructor does. If memory for the copy cannot be had, this tool
    // keeps what it had.
    CZEPDrawSTLTool& operator=(const CZEPDrawSTLTool& other);

    // Releases the node arrays the tool owns, the marks and the face list; never the caller's arrays.
    virtual ~CZEPDrawSTLTool();

    // Creates owned node arrays for nodes 1 to NNode, all coordinates 0, and makes them the arrays in
    // use (the caller's arrays, if any, are left alone and no longer used). Arrays the tool owned
    // before are released. A negative NNode, or arrays that cannot be allocated, are refused: nothing
    // changes.
    void SetNNode(int NNode);

    // Makes the caller's three arrays the node arrays in use; they are indexed by node index (element 0
    // is not used) and are not copied. The tool NEVER releases them: they stay the caller's, who keeps
    // them alive and unchanged in length while the tool (or a copy of it) may write them or read them.
    // The node count stays the one of the last SetNNode (0 if none). With a count, faces are written
    // only over nodes 1 to that count; without one (0), the tool cannot know how far the arrays reach
    // and writes every face over nodes from 1 on, as the caller gives them.
    // Arrays the tool owned before are released. Returns true.
    // REQUIRES: each array has an element for every node index that a face uses (at least count + 1
    // elements when a count was given).
    bool SetNode(float*& x, float*& y, float*& z);

    // Stores the coordinates of node i (1 to the node count) in the arrays in use and returns true;
    // returns false and stores nothing for any other i or when no arrays are in use. When the arrays
    // in use were not created by SetNNode, first writes the line "Error! SetNode(). You have to set
    // node dimension first by SetNNode(int NNode)" to standard output.
    bool SetNode(int i, float x, float y, float z);

    // Prepares faces 1 to n for the indexed form: none of them is set; records already there keep
    // their values. A negative n, or storage that cannot be allocated, is refused: nothing changes.
    void SetNFace(int n);

    // Indexed form: sets face iFace (1 to the count of SetNFace) from nodes[1] to nodes[4] (nodes[0] is
    // not read). Returns true and marks the face when nodes[1], nodes[2] and nodes[3] are all at least
    // 1; the face's node count is then nNode, or 3 when nodes[4] equals nodes[3] or is 0 or less.
    // Returns false for another iFace or a null `nodes` (nothing changes), and for a face whose first
    // three nodes are not all at least 1 (the face is then not written).
    // REQUIRES: nodes points to at least five integers.
    bool SetFace20(int iFace, int nNode, int* const nodes);

    // Appending form: adds the next face, with the same node rule as the indexed form; returns false
    // and adds nothing for a face whose first three nodes are not all at least 1, a null `nodes`, or
    // when memory runs out. The first call in the tool's life discards every face given by index.
    // REQUIRES: nodes points to at least five integers.
    bool SetFace20(int nNode, int* const nodes);

    // Replaces the file `path` (text mode) by "solid" and the facets of the stored faces, in face
    // order: faces of 3 nodes (or more than 4) give the facet (1, 2, 3), faces of 4 nodes the facets
    // (1, 2, 3) and (3, 4, 1), faces of fewer than 3 nodes nothing. Coordinates are written as the
    // standard stream writes a double by default ("%g", 6 significant digits). A face that uses a node
    // index outside 1 to the node count (below 1 with the caller's arrays and no count) is skipped.
    // The text goes to a new file in the same folder, which replaces `path` only once it is complete;
    // a path that names a device or a pipe is written in place. When the file cannot be created,
    // written or moved into place, the old file of that name stays as it was, the new one is removed,
    // and "CZEPDrawSTLTool::OutputFile()-Cannot write <path>: <system error text>" goes to the
    // debugger channel.
    void OutputFile(const char* path);

  private:
    friend class CZEPDrawVectorTool;

    void ReleaseOwnedNodes();
    bool CopyFrom(const CZEPDrawSTLTool& other);
    void Swap(CZEPDrawSTLTool& other) noexcept;

    int m_iNodeMode;  // 0 no arrays; 1 arrays owned by the tool; 2 the caller's arrays
    int m_iNNode;     // node count: valid node indices are 1 to m_iNNode
    float* m_pfX;     // coordinate arrays in use, indexed by node index
    float* m_pfY;
    float* m_pfZ;
    int m_iNFace;                           // face count of the indexed form
    unsigned char* m_pbFaceSet;             // one mark per face record (1 = set), or null: all written
    int m_iNAppendedFace;                   // calls of the appending SetFace20 so far
    std::vector<std::vector<int>> m_vFace;  // entry 0 a placeholder, entry i face i
};

#endif  // ZEP3D_INCLUDE_ZEPDRAWSTLTOOL_H_
