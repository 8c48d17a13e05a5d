// The one export macro of the library: what the DLL (or shared object) exports to the solvers.
#ifndef ZEP3D_INCLUDE_EXPORT_H_
#define ZEP3D_INCLUDE_EXPORT_H_

#if !defined(ZEP3DTOOL_API)
#if defined(_WIN32) && defined(ZEP3DTOOL_STATIC)
#define ZEP3DTOOL_API
#elif defined(_WIN32)
#if defined(ZEP3DTOOL_BUILDING_DLL)
#define ZEP3DTOOL_API __declspec(dllexport)
#else
#define ZEP3DTOOL_API __declspec(dllimport)
#endif
#else
#define ZEP3DTOOL_API __attribute__((visibility("default")))
#endif
#endif

#endif  // ZEP3D_INCLUDE_EXPORT_H_
