// Shared set-up of the logic tests: small logic tables filled by the test, a
// temporary folder for files, a frame rate the test chooses, and a trace that
// callbacks write to.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/FrameRateInternal.h"
#include "logic/LogicTablesInternal.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"

namespace logictest {

using Bytes = std::vector<unsigned char>;

inline std::vector<std::string> trace;
inline unsigned int frameRate = 60;
inline unsigned int TestFrameRate() { return frameRate; }

// Little-endian record builder for crafted files.
struct Record {
    Bytes bytes;
    Record& I32(std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (8 * i)));
        return *this;
    }
    Record& U32(std::uint32_t v) { return I32(static_cast<std::int32_t>(v)); }
    Record& Bool(bool v) {
        bytes.push_back(v ? 1 : 0);
        return *this;
    }
    // An object reference header: 32-byte class name and id.
    Record& Ref(const char* className, std::int32_t id) {
        char name[32] = {};
        std::strncpy(name, className, 31);
        bytes.insert(bytes.end(), name, name + 32);
        return I32(id);
    }
    Record& Null() { return I32(0); }
};

class LogicTest : public testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("qel-logic-" + std::to_string(::getpid()) + "-" +
                                                        testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        trace.clear();
        frameRate = 60;
        SetFrameRateSource(&TestFrameRate);
        ClearReport();
    }

    void TearDown() override {
        FreeTables();
        SetFrameRateSource(nullptr);
        std::filesystem::remove_all(dir);
    }

    // Tables of the given sizes (0 leaves a table empty, bound -1); functions
    // and timers are filled by the test.
    void MakeTables(unsigned int functions, unsigned int machines, unsigned int timers) {
        FreeTables();
        if (functions) FArray = NewVoidPointers(functions);
        if (machines) SMArray = NewStateMachines(machines);
        if (timers) TMArray = NewTimers(timers);
        maxFIndex = static_cast<std::int32_t>(functions) - 1;
        maxSMIndex = static_cast<std::int32_t>(machines) - 1;
        maxTMIndex = static_cast<std::int32_t>(timers) - 1;
    }

    void FreeTables() {
        FreeVoidPointers(FArray);
        FreeStateMachines(SMArray);
        FreeTimers(TMArray);
        FArray = nullptr;
        SMArray = nullptr;
        TMArray = nullptr;
        maxFIndex = maxSMIndex = maxTMIndex = -1;
    }

    static void ClearReport() {
        _UE.ErrorMessage[0] = '\0';
        _UE.TargetFunction[0] = '\0';
    }
    static std::string ReportedMessage() { return _UE.ErrorMessage; }
    static std::string ReportedTarget() { return _UE.TargetFunction; }

    std::string PathOf(const char* leaf) const { return (dir / leaf).string(); }

    Bytes Written(const std::function<void(File&)>& write) {
        const std::string path = PathOf("written.bin");
        {
            File file(path.c_str(), File::Writing);
            write(file);
            EXPECT_TRUE(file.Close());
        }
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // Reads bytes back through a File; answers whether the file stayed sound.
    bool ReadBack(const Bytes& bytes, const std::function<void(File&)>& read) {
        const std::string path = PathOf("read.bin");
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        File file(path.c_str(), File::Reading);
        read(file);
        return !file.HasError();
    }

    std::filesystem::path dir;
};

}  // namespace logictest
