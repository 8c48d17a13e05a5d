// The account reader: the cluster account's user name and deciphered password from the installation's
// account file "acc.ini".
#ifndef ZEP3D_TOOLKIT_ZEP3DACCSECURITY_H_
#define ZEP3D_TOOLKIT_ZEP3DACCSECURITY_H_

// Reads section "ACCSecurity" of an account file: "UserName" in plain text and "Password" as upper-case
// hexadecimal AES-128 ciphertext (ECB, zero padding) under the library's constant key text. Reports
// through its result and status only; no exception leaves it.
class CZEP3DACCSecurity {
  public:
    // Status 1000.
    CZEP3DACCSecurity();
    ~CZEP3DACCSecurity();

    // Reads the account from the file at `path` (which may be null). `userName` and `password` are
    // caller buffers of at least 512 bytes; on return both hold zero-terminated strings, the user name
    // and the deciphered password on success and empty ones on failure (a null buffer is not written
    // and counts as empty). Returns true and leaves the status as it was on success; otherwise returns
    // false with the status of the failing step:
    //   1001  no path (null or empty);
    //   1004  the file does not exist;
    //   1007  the file cannot be read as a script, or holds no section;
    //   1009  the password cannot be deciphered: its text is longer than 271 characters, or holds a
    //         character other than the digits 0-9 and A-F (before an odd last one, which is ignored);
    //   1010  the user name or the deciphered password is empty, or the user name is longer than 511
    //         characters (it is never cut).
    // The deciphered password is wiped from every buffer of the reader before release, and from the
    // caller's `password` buffer when the read fails after it was written there.
    bool ReadAccount(const char* path, char* userName, char* password);

    // 1000 until a read fails; then the status of the last failure.
    int GetStatus();

  private:
    // Deciphers the hexadecimal password text into `plainPassword` (512 bytes). False when the text is
    // longer than 271 characters or not upper-case hexadecimal, or when the crypt kit cannot be created
    // or refuses to decipher.
    bool Decryption(const char* hexText, char* plainPassword);

    int m_iStatus;
};

#endif  // ZEP3D_TOOLKIT_ZEP3DACCSECURITY_H_
