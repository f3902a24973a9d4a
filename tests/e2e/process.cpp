#include "e2e/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace nk::e2e {
namespace {

void Make_Pipe(int (&ends)[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe2");
  }
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (auto& text : texts) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

void Close(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

Process::Process(const Process_Request& request, int gate) : request_(request) {
  int in[2];
  int out[2];
  int err[2];
  Make_Pipe(in);
  Make_Pipe(out);
  Make_Pipe(err);
  // Built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> argv_texts{request_.Program};
  argv_texts.insert(argv_texts.end(), request_.Arguments.begin(), request_.Arguments.end());
  auto env_texts = request_.Environment;
  auto argv = Pointers(argv_texts);
  auto envp = Pointers(env_texts);
  const char* directory = request_.Directory.empty() ? nullptr : request_.Directory.c_str();

  pid_ = ::fork();
  if (pid_ < 0) {
    throw std::system_error(errno, std::generic_category(), "fork");
  }
  if (pid_ == 0) {
    if (gate >= 0) {
      char byte;
      while (::read(gate, &byte, 1) < 0 && errno == EINTR) {
      }
    }
    if (::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0 ||
        (directory != nullptr && ::chdir(directory) != 0)) {
      ::_exit(127);
    }
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
}

Process::~Process() {
  if (!waited_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
}

Process_Result Process::Wait() {
  Process_Result result;
  const auto deadline = std::chrono::steady_clock::now() + request_.Time_Out;
  std::size_t written = 0;
  if (request_.Input.empty()) {
    Close(input_);
  }
  ::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
  while (output_ >= 0 || errors_ >= 0) {
    pollfd fds[3] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}, {input_, POLLOUT, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.Timed_Out = true;
      ::kill(pid_, SIGKILL);
      break;
    }
    const int ready = ::poll(fds, 3, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    char buffer[4096];
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd >= 0 && (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        const auto n = ::read(fds[k].fd, buffer, sizeof buffer);
        if (n > 0) {
          (k == 0 ? result.Output : result.Errors).append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          Close(k == 0 ? output_ : errors_);
        }
      }
    }
    if (input_ >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const auto n =
          ::write(input_, request_.Input.data() + written, request_.Input.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
      }
      if ((n < 0 && errno != EINTR) || written == request_.Input.size()) {
        Close(input_);
      }
    }
  }
  Close(input_);
  Close(output_);
  Close(errors_);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  waited_ = true;
  if (WIFEXITED(status)) {
    result.Exit_Status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.Signal = WTERMSIG(status);
  }
  return result;
}

Process_Result Run_Process(const Process_Request& request) {
  return Process(request).Wait();
}

std::vector<std::string> Test_Environment(const std::string& home,
                                          const std::vector<std::string>& extra) {
  const char* path = std::getenv("PATH");
  std::vector<std::string> environment{
      std::string("PATH=") + (path ? path : "/usr/local/bin:/usr/bin:/bin"), "HOME=" + home};
  environment.insert(environment.end(), extra.begin(), extra.end());
  return environment;
}

Temporary_Directory::Temporary_Directory() {
  auto pattern = (std::filesystem::temp_directory_path() / "nelk-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

Temporary_Directory::~Temporary_Directory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool Read_File(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  bytes = content.str();
  return true;
}

void Write_File(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file.flush()) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace nk::e2e
