// A program a test starts and watches as a launcher would: in a folder and an
// environment of the test's choosing, with its standard error in a file (its
// output is dropped). A program still running when the object goes, or when
// the test program ends, is killed.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class ChildProcess {
public:
    struct Options {
        std::vector<std::string> arguments;            // the program first
        std::map<std::string, std::string> variables;  // added to the test's own environment
        std::string folder;                            // empty: the test's
        std::string errorFile;                         // empty: the test's standard error
        bool pipedInput = false;                       // else /dev/null
        int keptDescriptor = -1;                       // one more descriptor the program gets
    };

    explicit ChildProcess(const Options& options) : errorFile_(options.errorFile) { Start(options); }
    ~ChildProcess() {
        if (input_ >= 0) ::close(input_);
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Id() const { return pid_; }
    void Signal(int signal) const {
        if (pid_ > 0 && !status_) ::kill(pid_, signal);
    }
    // The program sees the end of its input.
    void CloseInput() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    // The wait status, once the program has ended within `timeout`.
    std::optional<int> WaitFor(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!status_ && pid_ > 0) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = status;
                break;
            }
            if (std::chrono::steady_clock::now() >= end) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return status_;
    }
    bool Running() { return Started() && !WaitFor(std::chrono::milliseconds(0)); }

    std::string ErrorText() const {
        std::ifstream in(errorFile_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    static std::vector<std::string> Environment(const std::map<std::string, std::string>& added) {
        std::vector<std::string> all;
        for (char** v = environ; *v != nullptr; ++v) {
            const std::string entry = *v;
            if (added.count(entry.substr(0, entry.find('='))) == 0) all.push_back(entry);
        }
        for (const auto& [name, value] : added) all.push_back(name + "=" + value);
        return all;
    }

    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
        return pointers;
    }

    void Start(const Options& options) {
        std::vector<std::string> arguments = options.arguments, environment = Environment(options.variables);
        std::vector<char*> argv = Pointers(arguments), envp = Pointers(environment);
        int pipeEnds[2] = {-1, -1};
        if (options.pipedInput && ::pipe2(pipeEnds, O_CLOEXEC) != 0) return;
        // Everything the child needs is made before the fork.
        const int error =
            options.errorFile.empty() ? -1 : ::open(options.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int nothing = ::open("/dev/null", O_RDONLY);
        const pid_t test = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            // Nothing outlives a test program that ended abruptly, and
            // nothing holds its output open for whoever reads it.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != test) ::_exit(125);
            ::dup2(options.pipedInput ? pipeEnds[0] : nothing, STDIN_FILENO);
            ::dup2(nothing, STDOUT_FILENO);
            if (error >= 0) ::dup2(error, STDERR_FILENO);
            for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd)
                if (fd != options.keptDescriptor) ::close(fd);
            if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) ::_exit(126);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (error >= 0) ::close(error);
        ::close(nothing);
        if (options.pipedInput) {
            ::close(pipeEnds[0]);
            input_ = pipeEnds[1];
        }
    }

    pid_t pid_ = -1;
    int input_ = -1;
    std::optional<int> status_;
    std::string errorFile_;
};
