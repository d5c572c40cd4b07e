#include "bench/corpus_text.h"

#include "engine/cp932.h"

#include <array>
#include <string_view>
#include <vector>

namespace srctdy::bench {

namespace {

// The Japanese texts, written here in UTF-8 and converted to code page 932 once. They include
// characters whose second byte is "\" (表, ソ, 能), full-width punctuation and spaces, and
// half-width katakana, as real comments do.
constexpr std::string_view kPhrasesUtf8[] = {
    "初期化する",
    "バッファを確保する",
    "エラー処理",
    "戻り値を確認する",
    "データを読み込む",
    "結果を表示する",
    "ソート処理（昇順）",
    "機能を有効にする",
    "設定値を保存する",
    "カウンタを更新する",
    "ファイルを開く",
    "ファイルを閉じる",
    "メモリを解放する",
    "引数が不正な場合は何もしない",
    "タイムアウト時間を設定する",
    "通信エラー時は再試行する",
    "文字列を比較する",
    "表の先頭から検索する",
    "予約済み領域",
    "構造体の初期値",
    "ループの終了条件",
    "割り込みを禁止する",
    "一時的な作業領域",
    "次の要素へ進む",
    "最大値を超えた場合は切り捨てる",
    "暫定対応、後で見直すこと",
    "全角　スペースを含むコメント",
    "ﾌｧｲﾙ名の長さを確認する",
    "ﾃﾞｰﾀ件数が０の場合",
    "送信バッファが空になるまで待つ",
    "ステータスを「完了」にする",
    "受信データのチェックサムを計算する",
    "この処理は性能に影響する",
    "デバッグ用の出力",
    "排他制御の開始",
    "排他制御の終了",
};

constexpr std::string_view kSummariesUtf8[] = {
    "指定されたレコードを表から検索して返す。",
    "設定ファイルを読み込み、構造体に格納する。",
    "受信したメッセージを解析し、対応する処理を呼び出す。",
    "タイマ割り込みから呼ばれ、カウンタを更新する。",
    "バッファの内容をファイルに書き出す。",
    "エラーコードに対応するメッセージを表示する。",
    "　全角スペースで字下げされた説明文。",
    "引数の範囲を確認し、不正な場合はエラーを返す。",
};

constexpr std::string_view kMessagesUtf8[] = {
    "エラーが発生しました: %d\\n",    "ファイルが見つかりません: %s\\n", "処理を開始します\\n",
    "処理が完了しました（%d 件）\\n", "ソケットの接続に失敗\\n",         "設定値が範囲外です\\n",
};

// Module-header field names besides the two markers the engine looks for.
constexpr std::string_view kHeaderFieldsUtf8[] = {"[引数]", "[戻り値]", "[備考]", "[作成者]"};

constexpr std::string_view kVerbs[] = {"Get",   "Set",  "Init", "Calc",  "Read",   "Write",
                                       "Check", "Send", "Recv", "Parse", "Update", "Find"};
constexpr std::string_view kNouns[] = {"Buffer", "Config", "Status", "Record", "Message",
                                       "Table",  "Device", "Timer",  "Queue",  "Entry"};
constexpr std::string_view kVars[] = {"i",     "j",    "len",   "count", "ret",   "status",
                                      "index", "size", "value", "flag",  "mode",  "offset",
                                      "err",   "pos",  "total", "nRead", "result"};
constexpr std::string_view kTypes[] = {"int",  "long",     "unsigned char", "char*",
                                       "BOOL", "uint32_t", "size_t",        "short"};
constexpr std::string_view kCalls[] = {"memset",     "memcpy",      "strncpy",   "CheckStatus",
                                       "GetRecord",  "SetValue",    "WriteLog",  "UpdateTable",
                                       "SendPacket", "ReleaseLock", "ReadConfig"};
constexpr std::string_view kMacros[] = {"DEBUG", "USE_LOG", "_WIN32", "OLD_PROTOCOL", "TEST_MODE"};

std::vector<std::string> ToCodePage(const auto& utf8Texts) {
    std::vector<std::string> out;
    for (std::string_view text : utf8Texts)
        out.push_back(cp932::FromUtf8(text).value_or(std::string(text)));
    return out;
}

struct Words {
    std::vector<std::string> phrases = ToCodePage(kPhrasesUtf8);
    std::vector<std::string> summaries = ToCodePage(kSummariesUtf8);
    std::vector<std::string> messages = ToCodePage(kMessagesUtf8);
    std::vector<std::string> fields = ToCodePage(kHeaderFieldsUtf8);
    std::string nameMarker = cp932::FromUtf8("[関数名]").value_or("");
    std::string summaryMarker = cp932::FromUtf8("[概要]").value_or("");
    std::string fileLabel = cp932::FromUtf8("ファイル名").value_or("");
    std::string authorLabel = cp932::FromUtf8("作成者　山田　太郎").value_or("");
    std::string period = cp932::FromUtf8("。").value_or("");
};

const Words& JapaneseWords() {
    static const Words words;
    return words;
}

const std::string kFullWidthSpace = "\x81\x40";

enum class IndentStyle { Tabs, FourSpaces, TwoSpaces, Flat, Mixed };

class SourceWriter {
public:
    SourceWriter(Rng& rng, bool cpp) : rng_(rng), words_(JapaneseWords()), cpp_(cpp) {
        static constexpr IndentStyle kStyles[] = {IndentStyle::Tabs, IndentStyle::FourSpaces,
                                                  IndentStyle::TwoSpaces, IndentStyle::Flat,
                                                  IndentStyle::Mixed};
        style_ = kStyles[rng_.below(5)];
    }

    std::string generate(size_t targetBytes) {
        fileHeader();
        includes();
        defines();
        types();
        globals();
        while (out_.size() < targetBytes) {
            if (cpp_ && rng_.percent(15))
                classDefinition();
            else
                function();
        }
        return std::move(out_);
    }

private:
    template <size_t N> std::string_view pick(const std::string_view (&items)[N]) {
        return items[rng_.below(static_cast<int>(N))];
    }
    const std::string& pick(const std::vector<std::string>& items) {
        return items[static_cast<size_t>(rng_.below(static_cast<int>(items.size())))];
    }

    std::string indent(int depth) {
        std::string text;
        IndentStyle style = style_;
        if (style == IndentStyle::Mixed) {
            static constexpr IndentStyle kLineStyles[] = {
                IndentStyle::Tabs, IndentStyle::FourSpaces, IndentStyle::TwoSpaces};
            style = kLineStyles[rng_.below(3)];
            if (rng_.percent(10))
                text += kFullWidthSpace;
        }
        for (int i = 0; i < depth; ++i) {
            switch (style) {
            case IndentStyle::Tabs:
                text += '\t';
                break;
            case IndentStyle::FourSpaces:
                text += "    ";
                break;
            case IndentStyle::TwoSpaces:
                text += "  ";
                break;
            default:
                break;
            }
        }
        return text;
    }

    // One line, indented for depth; some lines keep blanks at their end.
    void emit(int depth, std::string_view text) {
        out_ += indent(depth);
        out_ += text;
        if (rng_.percent(6))
            out_ += rng_.percent(50) ? "  " : "\t";
        out_ += '\n';
    }
    void emitRaw(std::string_view text) {
        out_ += text;
        out_ += '\n';
    }

    std::string trailingComment() {
        if (rng_.percent(60))
            return "  // " + pick(words_.phrases);
        return "\t/* " + pick(words_.phrases) + " */";
    }

    std::string functionName() {
        return std::string(pick(kVerbs)) + std::string(pick(kNouns)) +
               std::to_string(rng_.below(100));
    }

    void emptyLines() {
        int n = 1 + rng_.below(4);
        for (int i = 0; i < n; ++i)
            out_ += rng_.percent(20) ? "\t\n" : "\n";
    }

    void fileHeader() {
        emitRaw("/*" + std::string(70, '*'));
        emitRaw(" * " + words_.fileLabel + "\t: module" + std::to_string(rng_.below(1000)) +
                (cpp_ ? ".cpp" : ".c"));
        emitRaw(" * " + pick(words_.summaries));
        emitRaw(" * " + words_.authorLabel);
        emitRaw(" * Copyright (C) 2003 Example Systems Co., Ltd. All rights reserved.");
        emitRaw(" " + std::string(70, '*') + "*/");
        emptyLines();
    }

    void includes() {
        static constexpr std::string_view kSystem[] = {"stdio.h", "stdlib.h", "string.h",
                                                       "windows.h", "time.h"};
        int n = 2 + rng_.below(5);
        for (int i = 0; i < n; ++i)
            emitRaw("#include <" + std::string(pick(kSystem)) + ">");
        if (cpp_) {
            emitRaw("#include <string>");
            emitRaw("#include <vector>");
        }
        emitRaw("#include \"" + std::string(pick(kNouns)) + ".h\"" +
                (rng_.percent(50) ? trailingComment() : ""));
        emptyLines();
    }

    void defines() {
        int n = 2 + rng_.below(6);
        for (int i = 0; i < n; ++i) {
            emitRaw("#define MAX_" + std::string(pick(kNouns)) + std::to_string(i) + "\t\t(" +
                    std::to_string(rng_.below(4096)) + ")" + trailingComment());
        }
        conditionalBlock(0, true);
        emptyLines();
    }

    void types() {
        std::string name = std::string(pick(kNouns)) + "_T";
        emitRaw("typedef struct {");
        int n = 3 + rng_.below(6);
        for (int i = 0; i < n; ++i)
            emit(1, std::string(pick(kTypes)) + "\tm_" + std::string(pick(kVars)) +
                        std::to_string(i) + ";" + trailingComment());
        emitRaw("} " + name + ";");
        emptyLines();
    }

    void globals() {
        int n = 1 + rng_.below(4);
        for (int i = 0; i < n; ++i)
            emitRaw("static " + std::string(pick(kTypes)) + " g_" + std::string(pick(kVars)) +
                    std::to_string(i) + " = 0;" + (rng_.percent(70) ? trailingComment() : ""));
        emptyLines();
    }

    void moduleHeader(const std::string& name) {
        emitRaw("/" + std::string(68, '*'));
        emitRaw(words_.nameMarker);
        // A third of the blocks already carry their name, as after an earlier run.
        if (rng_.percent(33))
            emitRaw(name);
        emitRaw(words_.summaryMarker);
        int n = 1 + rng_.below(3);
        for (int i = 0; i < n; ++i)
            emitRaw((rng_.percent(50) ? "  " : "\t") + pick(words_.summaries));
        for (int i = 0; i < 2; ++i) {
            emitRaw(pick(words_.fields));
            emitRaw("  " + std::string(pick(kTypes)) + " " + std::string(pick(kVars)) + " : " +
                    pick(words_.phrases));
        }
        emitRaw(std::string(68, '*') + "/");
    }

    void function() {
        std::string name = functionName();
        std::string signature = (rng_.percent(40) ? "static " : "") + std::string(pick(kTypes)) +
                                " " + name + "(" + std::string(pick(kTypes)) + " " +
                                std::string(pick(kVars)) + ", const char* pText)";
        moduleHeader(signature);
        if (rng_.percent(70)) {
            emitRaw(signature);
            emitRaw("{");
        } else {
            emitRaw(signature + " {");
        }
        declarations(1);
        body(1, 6 + rng_.below(30));
        emit(1, "return ret;");
        emitRaw("}");
        emptyLines();
    }

    void classDefinition() {
        std::string name = std::string(pick(kNouns)) + "Manager" + std::to_string(rng_.below(50));
        emitRaw("namespace app {");
        emptyLines();
        if (rng_.percent(40))
            emitRaw("template <typename T>");
        emitRaw("class " + name + " : public Base" + std::string(pick(kNouns)) + " {");
        emitRaw("public:");
        emit(1, name + "();");
        emit(1, "virtual ~" + name + "();");
        int n = 2 + rng_.below(5);
        for (int i = 0; i < n; ++i)
            emit(1, "int " + functionName() + "(const std::string& key) const;" +
                        (rng_.percent(50) ? trailingComment() : ""));
        emitRaw("private:");
        emit(1, "std::vector<int> items_;" + trailingComment());
        emit(1, "std::string name_;");
        emitRaw("};");
        emptyLines();
        std::string method =
            "int " + name + "::" + functionName() + "(const std::string& key) const";
        moduleHeader(method);
        emitRaw(method);
        emitRaw("{");
        emit(1, "auto twice = [&](int v) { return v * 2; };");
        declarations(1);
        body(1, 4 + rng_.below(15));
        emit(1, "return twice(ret);");
        emitRaw("}");
        emptyLines();
        emitRaw("}  // namespace app");
        emptyLines();
    }

    void declarations(int depth) {
        int n = 1 + rng_.below(5);
        for (int i = 0; i < n; ++i)
            emit(depth, std::string(pick(kTypes)) + " " + std::string(pick(kVars)) + " = 0;" +
                            (rng_.percent(40) ? trailingComment() : ""));
        emit(depth, "int ret = 0;");
        if (rng_.percent(50))
            emptyLines();
    }

    std::string simpleStatement() {
        switch (rng_.below(5)) {
        case 0:
            return std::string(pick(kVars)) + " = " + std::string(pick(kVars)) + " + " +
                   std::to_string(rng_.below(64)) + ";";
        case 1:
            return std::string(pick(kCalls)) + "(" + std::string(pick(kVars)) + ", " +
                   std::string(pick(kVars)) + ", sizeof(" + std::string(pick(kVars)) + "));";
        case 2:
            return "ret = " + functionName() + "(" + std::string(pick(kVars)) + ", pText);";
        case 3:
            return std::string(pick(kVars)) + "++;";
        default:
            return "pRec->m_" + std::string(pick(kVars)) + " = (" + std::string(pick(kTypes)) +
                   ")" + std::string(pick(kVars)) + ";";
        }
    }

    std::string condition() {
        static constexpr std::string_view kOps[] = {" == ", " != ", " < ", " >= ", " & "};
        return std::string(pick(kVars)) + std::string(pick(kOps)) +
               (rng_.percent(50) ? std::string(pick(kVars)) : std::to_string(rng_.below(256)));
    }

    // A line over 80 bytes: a long condition or call, often with a comment behind it.
    std::string longLine() {
        const size_t length = 70 + static_cast<size_t>(rng_.below(60));
        std::string text = "if ((" + condition() + ")";
        while (text.size() < length)
            text += " && (" + condition() + ")";
        text += ") {";
        if (rng_.percent(60))
            text += trailingComment();
        return text;
    }

    void blockComment(int depth) {
        emit(depth, "/*");
        int n = 1 + rng_.below(4);
        for (int i = 0; i < n; ++i)
            emit(depth, " * " + pick(words_.phrases) + (rng_.percent(30) ? words_.period : ""));
        emit(depth, " */");
    }

    void conditionalBlock(int depth, bool defines) {
        const int kind = rng_.below(3);
        if (kind == 0)
            emitRaw("#if 0");
        else if (kind == 1)
            emitRaw("#ifdef " + std::string(pick(kMacros)));
        else
            emitRaw("#if\tdefined(" + std::string(pick(kMacros)) +
                    ") && (VERSION >= " + std::to_string(rng_.below(10)) + ")");
        if (defines) {
            emitRaw("#define TRACE(x)\tprintf x");
            emitRaw("#else");
            emitRaw("#define TRACE(x)");
        } else {
            body(depth, 1 + rng_.below(3));
        }
        emitRaw("#endif" +
                (rng_.percent(30) ? "\t/* " + pick(words_.phrases) + " */" : std::string()));
    }

    void body(int depth, int statements) {
        for (int s = 0; s < statements; ++s) {
            const int roll = rng_.below(100);
            const bool canNest = depth < 5;
            if (roll < 38) {
                emit(depth, simpleStatement() + (rng_.percent(15) ? trailingComment() : ""));
            } else if (roll < 46) {
                emit(depth, "// " + pick(words_.phrases));
            } else if (roll < 49) {
                blockComment(depth);
            } else if (roll < 55) {
                emit(depth, "printf(\"" + pick(words_.messages) + "\", " +
                                std::string(pick(kVars)) + ");");
            } else if (roll < 61) {
                emptyLines();
            } else if (roll < 65 && canNest) {
                emit(depth, longLine());
                body(depth + 1, 1 + rng_.below(3));
                emit(depth, "}");
            } else if (roll < 75 && canNest) {
                ifBlock(depth);
            } else if (roll < 81 && canNest) {
                emit(depth, "for (i = 0; i < " + std::string(pick(kVars)) + "; i++) {");
                body(depth + 1, 1 + rng_.below(4));
                emit(depth, "}");
            } else if (roll < 84 && canNest) {
                emit(depth, "while (" + condition() + ") {");
                body(depth + 1, 1 + rng_.below(3));
                emit(depth, "}");
            } else if (roll < 87 && canNest) {
                switchBlock(depth);
            } else if (roll < 89) {
                conditionalBlock(depth, false);
            } else {
                emit(depth, simpleStatement());
            }
        }
    }

    void ifBlock(int depth) {
        // Half the files put the brace on a line of its own.
        if (rng_.percent(50)) {
            emit(depth, "if (" + condition() + ") {");
        } else {
            emit(depth, "if (" + condition() + ")");
            emit(depth, "{");
        }
        body(depth + 1, 1 + rng_.below(4));
        if (rng_.percent(30)) {
            emit(depth, "} else {");
            body(depth + 1, 1 + rng_.below(3));
        }
        emit(depth, "}");
    }

    void switchBlock(int depth) {
        emit(depth, "switch (" + std::string(pick(kVars)) + ") {");
        int n = 2 + rng_.below(3);
        for (int i = 0; i < n; ++i) {
            emit(depth,
                 "case " + std::to_string(i) + ":" + (rng_.percent(30) ? trailingComment() : ""));
            body(depth + 1, 1 + rng_.below(2));
            emit(depth + 1, "break;");
        }
        emit(depth, "default:");
        emit(depth + 1, "break;");
        emit(depth, "}");
    }

    Rng& rng_;
    const Words& words_;
    bool cpp_;
    IndentStyle style_;
    std::string out_;
};

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 24);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

uint64_t Rng::next() {
    // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t FileSeed(uint64_t corpusSeed, uint64_t fileNumber) {
    Rng rng(corpusSeed * 0x100000001B3ull + fileNumber);
    return rng.next();
}

std::string GenerateSourceFile(uint64_t seed, size_t targetBytes, bool cppFlavour, bool crlf) {
    Rng rng(seed);
    SourceWriter writer(rng, cppFlavour);
    std::string text = writer.generate(targetBytes);
    return crlf ? WithCrLf(text) : text;
}

} // namespace srctdy::bench
