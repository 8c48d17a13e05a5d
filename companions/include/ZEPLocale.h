// Locale companion: the name of the system's default locale.
#ifndef ZEP3D_COMPANIONS_ZEPLOCALE_H_
#define ZEP3D_COMPANIONS_ZEPLOCALE_H_

#include <string>

#include "ZEPCompanionExport.h"

class ZEPLOCALE_API CZEPLocale {
  public:
    CZEPLocale();
    ~CZEPLocale();

    // The default locale's name in the form that std::locale's named constructor accepts; owned by
    // this object.
    const char* GetSystemDefaultLocale();

  private:
    std::string m_sName;
};

#endif  // ZEP3D_COMPANIONS_ZEPLOCALE_H_
