// Writing back a comment that grows the header block of a 256 MiB acquisition file
// (every item moves), against a plain copy of the same file with the same block
// size, flushed alike. Both report bytes of file per second.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "capture/CActiveFile.h"
#include "capture/CommentBlock.h"

namespace {

constexpr size_t FILE_BYTES = 256u << 20;
constexpr size_t BLOCK = 1u << 20;

QTemporaryDir& folder() {
  static QTemporaryDir dir;
  return dir;
}

// A fresh recording: the 24-byte header without text, then items.
QString makeFile(const char* name) {
  const QString path = folder().filePath(QString::fromLatin1(name));
  const int fd = ::open(path.toLocal8Bit().constData(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  std::vector<char> block(BLOCK);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31);
  const char header[24] = {0, 0, 0, 0, 0, 0, 0, 0, 24, 0, 0, 0, 'V', 'R', 'I', 'M'};
  std::copy(header, header + 24, block.begin());
  for (size_t done = 0; done < FILE_BYTES; done += BLOCK) (void)!::write(fd, block.data(), block.size());
  ::close(fd);
  return path;
}

void BM_CommentGrowsTheBlock(benchmark::State& state) {
  const QString path = makeFile("grow.anl");
  uint32_t textLength = 100;
  for (auto _ : state) {
    CActiveFile file;
    file.Open(path);
    file.Reopen(true);
    CommentBlock block;
    block.Load(file);
    platform::FileError err;
    // Each round's text is longer than the block, so every round moves every item.
    textLength += 100;
    if (!block.Store(file, QByteArray(static_cast<qsizetype>(textLength), 'c') + "\r\n", err))
      state.SkipWithError("write-back failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FILE_BYTES));
}
BENCHMARK(BM_CommentGrowsTheBlock)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_PlainCopy(benchmark::State& state) {
  const QString path = makeFile("copy.anl");
  const QString copy = path + QStringLiteral(".copy");
  std::vector<char> buffer(BLOCK);
  for (auto _ : state) {
    const int in = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    const int out = ::open(copy.toLocal8Bit().constData(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    for (ssize_t n; (n = ::read(in, buffer.data(), buffer.size())) > 0;)
      (void)!::write(out, buffer.data(), static_cast<size_t>(n));
    ::fsync(out);
    ::close(out);
    ::close(in);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FILE_BYTES));
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
