// The encrypted file operations: the input read and the output written in large chunks by one worker
// thread while the caller's thread ciphers the chunk before, the output put in place only when whole.
#include "filecrypt/FileCipher.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "filecrypt/SecureWipe.h"
#include "platform/Platform.h"
#include "platform/ReplacementFile.h"

namespace zep {
namespace filecrypt {
namespace {

using ZEP3DFileCrypt::ZEP3DICryptMethod;

constexpr size_t kFingerprintBytes = 32;
// A multiple of every block size (8, 16, 24, 32), so only the last piece can need padding.
constexpr size_t kPieceBytes = 384;
// The input is read and the output written this much at a time: whole pieces, few system calls, and
// the chunks in flight (kSlots of them) still fit the processor's cache.
constexpr size_t kChunkBytes = kPieceBytes * 1024;
constexpr int kSlots = 4;
// Room behind a chunk for the padding of a short last piece (less than one block of 32 bytes at most).
constexpr size_t kPaddingRoom = 32;

// The system's code for a read or write that just failed; never 0.
int FailureCode() {
    const int code = zep::platform::LastSystemError();
    return code != 0 ? code : EIO;
}

// Carries the input to the caller chunk by chunk and the caller's chunks to the output, in order, on a
// worker thread. A chunk goes from free (the worker may read into it) to filled (the caller may cipher
// it) to ciphered (the worker may write it) and back to free. Without a worker (a file of one chunk, or
// no thread to be had) the caller's thread reads and writes each chunk itself, in the first slot.
class Transfer {
  public:
    // REQUIRES: both buffers are open and outlive the object.
    Transfer(std::filebuf& in, std::filebuf& out, std::atomic<uint64_t>* progress)
        : in_(in), out_(out), progress_(progress) {}
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer() {
        Stop();
        // The chunks held plaintext.
        for (Slot& slot : slots_) {
            if (slot.data) SecureWipe(slot.data.get(), kChunkBytes + kPaddingRoom);
        }
    }

    // Takes the chunks' memory and, with `useWorker`, starts the worker. False when the memory cannot be
    // had.
    bool Start(bool useWorker) {
        for (Slot& slot : slots_) {
            slot.data.reset(new (std::nothrow) char[kChunkBytes + kPaddingRoom]);
            if (!slot.data) return false;
            if (!useWorker) return true;
        }
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (...) {
            // No thread to be had: the caller's thread does the reading and writing.
        }
        return true;
    }

    // The next chunk of the input, in order, with room for padding behind it; *last is set when the
    // input ends with it (it may then be shorter, or empty). Null when there is none: the input has been
    // handed out whole, or reading or writing failed.
    char* Next(size_t* length, bool* last) {
        Slot& slot = CallerSlot();
        if (!worker_.joinable()) {
            if (callerDone_ || failed_) return nullptr;
            int error = 0;
            if (!Read(slot, &error)) {
                Fail(true, error);
                return nullptr;
            }
        } else {
            std::unique_lock<std::mutex> lock(mutex_);
            callerWake_.wait(lock, [&] { return failed_ || callerDone_ || slot.state == kFilled; });
            if (failed_ || callerDone_) return nullptr;
        }
        *length = slot.length;
        *last = slot.last;
        return slot.data.get();
    }

    // The chunk that Next gave is ciphered: its first `length` bytes go to the output.
    void Put(size_t length) {
        Slot& slot = CallerSlot();
        ++caller_;
        slot.length = length;
        if (slot.last) callerDone_ = true;
        if (!worker_.joinable()) {
            int error = 0;
            if (!Write(slot, &error)) Fail(false, error);
            if (slot.last) written_ = !failed_;
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = kCiphered;
        workerWake_.notify_one();
    }

    // Waits until every chunk put has been written, then ends the worker. Returns false when reading or
    // writing failed.
    bool Finish() {
        if (worker_.joinable()) {
            std::unique_lock<std::mutex> lock(mutex_);
            callerWake_.wait(lock, [&] { return failed_ || written_; });
        }
        Stop();
        return !failed_;
    }

    // Ends the worker without waiting for the rest.
    void Stop() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        workerWake_.notify_one();
        worker_.join();
    }

    bool ReadFailed() const { return readFailed_; }
    int Error() const { return error_; }

  private:
    enum State { kFree, kFilled, kCiphered };

    struct Slot {
        std::unique_ptr<char[]> data;
        size_t length = 0;
        bool last = false;
        State state = kFree;
    };

    // The chunk the caller works on: without a worker always the first.
    Slot& CallerSlot() { return slots_[worker_.joinable() ? caller_ % kSlots : 0]; }

    // Records the first failure (under the lock while the worker runs).
    void Fail(bool reading, int error) {
        if (failed_) return;
        failed_ = true;
        readFailed_ = reading;
        error_ = error;
    }

    // The worker: writes the oldest ciphered chunk, else reads into the next free one, until the last
    // chunk is written, a read or write fails, or it is stopped.
    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        size_t toRead = 0;
        size_t toWrite = 0;
        bool inputEnded = false;
        for (;;) {
            Slot& writing = slots_[toWrite % kSlots];
            Slot& reading = slots_[toRead % kSlots];
            workerWake_.wait(lock, [&] {
                return stop_ || writing.state == kCiphered || (!inputEnded && reading.state == kFree);
            });
            if (stop_) return;
            if (writing.state == kCiphered) {
                lock.unlock();
                int error = 0;
                const bool ok = Write(writing, &error);
                lock.lock();
                writing.state = kFree;
                ++toWrite;
                if (!ok) Fail(false, error);
                if (!ok || writing.last) {
                    written_ = ok;
                    callerWake_.notify_one();
                    return;
                }
                continue;
            }
            lock.unlock();
            int error = 0;
            const bool ok = Read(reading, &error);
            lock.lock();
            if (!ok) {
                Fail(true, error);
                callerWake_.notify_one();
                return;
            }
            reading.state = kFilled;
            inputEnded = reading.last;
            ++toRead;
            callerWake_.notify_one();
        }
    }

    // Fills the slot from the input. False when reading failed, with the system's code in *error.
    bool Read(Slot& slot, int* error) {
        std::streamsize got = 0;
        try {
            got = in_.sgetn(slot.data.get(), static_cast<std::streamsize>(kChunkBytes));
        } catch (...) {
            // The stream buffer throws on a read error of the system (reading a folder, a failing disk).
            *error = FailureCode();
            return false;
        }
        slot.length = static_cast<size_t>(got);
        slot.last = slot.length < kChunkBytes;
        return true;
    }

    // Writes the slot's bytes to the output. False when writing failed, with the system's code in *error.
    bool Write(const Slot& slot, int* error) {
        if (slot.length == 0) return true;
        std::streamsize put = -1;
        try {
            put = out_.sputn(slot.data.get(), static_cast<std::streamsize>(slot.length));
        } catch (...) {
        }
        if (put != static_cast<std::streamsize>(slot.length)) {
            *error = FailureCode();
            return false;
        }
        if (progress_ != nullptr) progress_->fetch_add(slot.length, std::memory_order_relaxed);
        return true;
    }

    std::filebuf& in_;
    std::filebuf& out_;
    std::atomic<uint64_t>* progress_;
    Slot slots_[kSlots];
    size_t caller_ = 0;        // the caller's chunk: handed out by Next, given back by Put
    bool callerDone_ = false;  // the caller has put the last chunk
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable workerWake_;
    std::condition_variable callerWake_;
    // Under the lock while the worker runs:
    bool stop_ = false;
    bool written_ = false;  // the last chunk is written
    bool failed_ = false;
    bool readFailed_ = false;
    int error_ = 0;
};

// True when the two paths name one file (spelt differently, or through a link): writing the output
// would destroy the input.
bool SameFile(const std::string& a, const std::string& b) {
    zep::platform::FileIdentity first;
    zep::platform::FileIdentity second;
    return a == b || (zep::platform::QueryFileIdentity(a.c_str(), &first) &&
                      zep::platform::QueryFileIdentity(b.c_str(), &second) && first == second);
}

FileOutcome Failure(FileResult result, int error = 0) {
    FileOutcome outcome;
    outcome.result = result;
    outcome.systemError = error;
    return outcome;
}

FileOutcome Run(ZEP3DICryptMethod& method, bool decipher, const std::string& input, const std::string& output,
                const FileOptions& options) {
    if (SameFile(input, output)) return Failure(FileResult::kSameFile);
    // Unbuffered streams: every read and write of a chunk is one system call straight from its memory.
    std::filebuf in;
    in.pubsetbuf(nullptr, 0);
    if (!zep::platform::OpenFileBuffer(in, input.c_str(), std::ios::in | std::ios::binary))
        return Failure(FileResult::kUnreadable, FailureCode());
    char fingerprint[kFingerprintBytes] = {0};
    method.GetFingerprint(fingerprint);
    if (decipher) {
        // Checked before the output is touched; a file shorter than the fingerprint is compared with
        // zeros after its bytes.
        char header[kFingerprintBytes] = {0};
        try {
            in.sgetn(header, static_cast<std::streamsize>(kFingerprintBytes));
        } catch (...) {
            return Failure(FileResult::kUnreadable, FailureCode());
        }
        if (std::memcmp(header, fingerprint, kFingerprintBytes) != 0)
            return Failure(FileResult::kWrongFingerprint);
    }

    // Declared in this order, so that the output is closed before an unfinished file is removed, and the
    // worker ends before either stream.
    zep::platform::ReplacementFile target(output);
    int error = target.Prepare(options.permissions);
    if (error != 0) return Failure(FileResult::kUnwritable, error);
    std::filebuf out;
    out.pubsetbuf(nullptr, 0);
    const std::ios::openmode mode =
        target.InPlace() ? std::ios::out | std::ios::trunc : std::ios::in | std::ios::out;
    if (!zep::platform::OpenFileBuffer(out, target.WritePath().c_str(), mode | std::ios::binary))
        return Failure(FileResult::kUnwritable, FailureCode());
    uint64_t written = 0;
    if (!decipher) {
        if (out.sputn(fingerprint, static_cast<std::streamsize>(kFingerprintBytes)) !=
            static_cast<std::streamsize>(kFingerprintBytes))
            return Failure(FileResult::kUnwritable, FailureCode());
        written = kFingerprintBytes;
        if (options.progress != nullptr) options.progress->fetch_add(kFingerprintBytes);
    }
    // A file of one chunk gains nothing from a worker.
    zep::platform::FileStatus status;
    const bool large = !zep::platform::QueryFileStatus(input.c_str(), &status) || !status.isRegular ||
                       status.size > static_cast<int64_t>(kFingerprintBytes + kChunkBytes);
    Transfer transfer(in, out, options.progress);
    if (!transfer.Start(large)) return Failure(FileResult::kOutOfMemory);

    method.ResetChain();
    const size_t block = static_cast<size_t>(method.GetBlockSize());
    size_t length = 0;
    bool last = false;
    while (char* chunk = transfer.Next(&length, &last)) {
        // Only a truncated or foreign file ends in a part of a block: it is not deciphered.
        if (decipher && length % block != 0) return Failure(FileResult::kPartialBlock);
        size_t end = 0;
        for (size_t pos = 0; pos < length; pos += kPieceBytes) {
            size_t n = length - pos < kPieceBytes ? length - pos : kPieceBytes;
            if (decipher) {
                method.Decrypt(chunk + pos, chunk + pos, n);
            } else {
                if (n < kPieceBytes)
                    n = static_cast<size_t>(method.Padding(chunk + pos, static_cast<int>(n)));
                method.Encrypt(chunk + pos, chunk + pos, n);
            }
            end = pos + n;
        }
        written += end;
        transfer.Put(end);
    }
    if (!transfer.Finish())
        return Failure(transfer.ReadFailed() ? FileResult::kUnreadable : FileResult::kUnwritable,
                       transfer.Error());
    // A close that fails (the system reports a late write error) leaves no complete file either.
    if (out.close() == nullptr) return Failure(FileResult::kUnwritable, FailureCode());
    error = target.Commit();
    if (error != 0) return Failure(FileResult::kUnwritable, error);
    FileOutcome outcome;
    outcome.written = written;
    return outcome;
}

FileOutcome RunCaught(ZEP3DICryptMethod& method, bool decipher, const std::string& input,
                      const std::string& output, const FileOptions& options) {
    try {
        return Run(method, decipher, input, output, options);
    } catch (...) {
        // Memory for the stream buffers or the names; the output is left as it was.
        return Failure(FileResult::kOutOfMemory);
    }
}

}  // namespace

FileOutcome EncipherFile(ZEP3DICryptMethod& method, const std::string& input, const std::string& output,
                         const FileOptions& options) {
    return RunCaught(method, false, input, output, options);
}

FileOutcome DecipherFile(ZEP3DICryptMethod& method, const std::string& input, const std::string& output,
                         const FileOptions& options) {
    return RunCaught(method, true, input, output, options);
}

}  // namespace filecrypt
}  // namespace zep
