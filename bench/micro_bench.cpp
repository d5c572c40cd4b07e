// Micro-benchmarks of the engine's hot parts: the code page 932 searches that run on every
// line, and the whole line pipeline over a typical file held in memory.

#include "bench/corpus_text.h"
#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/line_reader.h"
#include "engine/line_writer.h"
#include "platform/prompter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

using namespace srctdy;

// Typical lines: plain code, code with a code page 932 comment (no full-width space), and a
// comment indented with full-width spaces.
const std::string kAsciiLine = "\tresult = CalcBuffer12(index, pText) + offset;  ";
const std::string kJapaneseLine =
    "\tstatus = ReadConfig(pRec, size);  // " +
    cp932::FromUtf8("設定ファイルを読み込み、表の先頭から検索する").value_or("");
const std::string kFullWidthLine =
    cp932::FromUtf8("　　// 全角　スペースで字下げされたコメント").value_or("");

const std::string kFullWidthSpace = "\x81\x40";

void BM_Find(benchmark::State& state, const std::string* line, std::string_view needle) {
    for (auto _ : state) {
        size_t at = cp932::Find(*line, needle);
        benchmark::DoNotOptimize(at);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line->size()));
}
BENCHMARK_CAPTURE(BM_Find, FullWidthInAscii, &kAsciiLine, kFullWidthSpace);
BENCHMARK_CAPTURE(BM_Find, FullWidthInJapanese, &kJapaneseLine, kFullWidthSpace);
BENCHMARK_CAPTURE(BM_Find, BraceInAscii, &kAsciiLine, "{");
BENCHMARK_CAPTURE(BM_Find, BraceInJapanese, &kJapaneseLine, "{");
BENCHMARK_CAPTURE(BM_Find, CommentInJapanese, &kJapaneseLine, "/*");

void BM_ReplaceAll(benchmark::State& state, const std::string* line, std::string_view from,
                   std::string_view to) {
    std::string work;
    for (auto _ : state) {
        work.assign(*line); // the pipeline copies rawLine into line the same way
        bool replaced = cp932::ReplaceAll(work, from, to);
        benchmark::DoNotOptimize(replaced);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line->size()));
}
BENCHMARK_CAPTURE(BM_ReplaceAll, FullWidthNoneAscii, &kAsciiLine, kFullWidthSpace, "  ");
BENCHMARK_CAPTURE(BM_ReplaceAll, FullWidthNoneJapanese, &kJapaneseLine, kFullWidthSpace, "  ");
BENCHMARK_CAPTURE(BM_ReplaceAll, FullWidthThree, &kFullWidthLine, kFullWidthSpace, "  ");
BENCHMARK_CAPTURE(BM_ReplaceAll, WordInAscii, &kAsciiLine, "pText", "pSource");

class QuietPrompter : public Prompter {
public:
    PromptAnswer ask(std::string_view, PromptIcon, PromptButtons buttons) override {
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
};

// A typical file: about 256 KB of generated C with LF line ends.
const std::string& TypicalFile() {
    static const std::string text = bench::GenerateSourceFile(42, 256 * 1000, false, false);
    return text;
}

// A one-line template for the run with every condition on; main creates and removes it.
std::string gTemplatePath;

enum class Conditions { StartupDefaults, EverythingOn, BlockToLineComments };

FormatOptions OptionsFor(Conditions conditions) {
    FormatOptions options; // the start-up defaults
    if (conditions == Conditions::EverythingOn) {
        options.conditionText = "TEST_MODE";
        options.deleteConditionalBlocks = 1;
        options.searchText = "pText";
        options.replaceText = "pSource";
        options.replaceOrDelete = 1;
        options.templatePath = gTemplatePath;
        options.insertHeaderTemplate = 1;
        options.insertDefinitionComments = 1;
        options.insertFunctionNames = 1;
        options.commentMode = 3;
    } else if (conditions == Conditions::BlockToLineComments) {
        options.commentMode = 1;
    }
    return options;
}

int64_t LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

// The in-memory entry point, output string included.
void BM_ConvertText(benchmark::State& state, Conditions conditions) {
    const FormatOptions options = OptionsFor(conditions);
    const ConvertSettings settings;
    const FileContext file{"bench.c", "2024-04-01"};
    QuietPrompter prompter;
    const std::string& input = TypicalFile();
    for (auto _ : state) {
        std::string output = ConvertText(input, options, settings, file, prompter);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
    state.SetItemsProcessed(state.iterations() * LineCount(input)); // items: input lines
}

// Discards what it is given, so that only the line loop is measured.
class NullSink : public ByteSink {
public:
    bool write(std::string_view bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return true;
    }
};

// The line loop alone: the reader over memory, the stages, the writer into a null sink.
void BM_LineLoop(benchmark::State& state, Conditions conditions) {
    const FormatOptions options = OptionsFor(conditions);
    const ConvertSettings settings;
    const FileContext file{"bench.c", "2024-04-01"};
    QuietPrompter prompter;
    NullSink sink;
    const std::string& input = TypicalFile();
    for (auto _ : state) {
        LineReader reader(input);
        LineWriter writer(sink);
        bool ok = ConvertLines(reader, writer, options, settings, file, prompter);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
    state.SetItemsProcessed(state.iterations() * LineCount(input));
}
BENCHMARK_CAPTURE(BM_LineLoop, StartupDefaults, Conditions::StartupDefaults)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineLoop, EverythingOn, Conditions::EverythingOn)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineLoop, BlockToLineComments, Conditions::BlockToLineComments)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_ConvertText, StartupDefaults, Conditions::StartupDefaults)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertText, EverythingOn, Conditions::EverythingOn)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertText, BlockToLineComments, Conditions::BlockToLineComments)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::string folder = "/tmp/srctdy_micro_XXXXXX";
    if (!::mkdtemp(folder.data())) {
        std::perror("micro_bench: mkdtemp");
        return 1;
    }
    gTemplatePath = folder + "/FileTitle.txt";
    if (FILE* f = std::fopen(gTemplatePath.c_str(), "wb")) {
        std::fputs("/* template */\n.c\n", f);
        std::fclose(f);
    }
    benchmark::Initialize(&argc, argv);
    int status = 0;
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        status = 1;
    else
        benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::unlink(gTemplatePath.c_str());
    ::rmdir(folder.c_str());
    return status;
}
