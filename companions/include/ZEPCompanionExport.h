// Export macros of the six companion libraries. Each library defines ZEP_BUILDING_<NAME> while it is
// built as a shared library. On Windows, code that links the classes statically (the recording doubles
// and the library's object files) defines ZEP_COMPANION_STATIC; elsewhere the classes always keep the
// default visibility, so that code built with hidden visibility can call them.
#ifndef ZEP3D_COMPANIONS_ZEPCOMPANIONEXPORT_H_
#define ZEP3D_COMPANIONS_ZEPCOMPANIONEXPORT_H_

#if defined(_WIN32) && defined(ZEP_COMPANION_STATIC)
#define ZEP_COMPANION_EXPORT
#define ZEP_COMPANION_IMPORT
#elif defined(_WIN32)
#define ZEP_COMPANION_EXPORT __declspec(dllexport)
#define ZEP_COMPANION_IMPORT __declspec(dllimport)
#else
#define ZEP_COMPANION_EXPORT __attribute__((visibility("default")))
#define ZEP_COMPANION_IMPORT __attribute__((visibility("default")))
#endif

#if defined(ZEP_BUILDING_ZEPUNICODETOOL)
#define ZEPUNICODETOOL_API ZEP_COMPANION_EXPORT
#else
#define ZEPUNICODETOOL_API ZEP_COMPANION_IMPORT
#endif

#if defined(ZEP_BUILDING_ZEPSSH2TOOL)
#define ZEPSSH2TOOL_API ZEP_COMPANION_EXPORT
#else
#define ZEPSSH2TOOL_API ZEP_COMPANION_IMPORT
#endif

#if defined(ZEP_BUILDING_ZEPMPITOOL)
#define ZEPMPITOOL_API ZEP_COMPANION_EXPORT
#else
#define ZEPMPITOOL_API ZEP_COMPANION_IMPORT
#endif

#if defined(ZEP_BUILDING_ZEPHPCTOOL)
#define ZEPHPCTOOL_API ZEP_COMPANION_EXPORT
#else
#define ZEPHPCTOOL_API ZEP_COMPANION_IMPORT
#endif

#if defined(ZEP_BUILDING_ZEPNETSESSION)
#define ZEPNETSESSION_API ZEP_COMPANION_EXPORT
#else
#define ZEPNETSESSION_API ZEP_COMPANION_IMPORT
#endif

#if defined(ZEP_BUILDING_ZEPLOCALE)
#define ZEPLOCALE_API ZEP_COMPANION_EXPORT
#else
#define ZEPLOCALE_API ZEP_COMPANION_IMPORT
#endif

#endif  // ZEP3D_COMPANIONS_ZEPCOMPANIONEXPORT_H_
