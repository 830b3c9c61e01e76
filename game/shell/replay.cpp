#include "shell/replay.h"

#include <fstream>

#include "common/parse.h"

std::optional<Replay> ParseReplay(std::istream& in, const std::string& name, std::string& error) {
    Replay replay;
    std::string text;
    int line = 0;
    auto fail = [&](const Word& word, const std::string& what) {
        error = Where(name, line, word.column) + what;
        return std::nullopt;
    };
    while (std::getline(in, text)) {
        ++line;
        const std::vector<Word> words = SplitWords(text);
        if (words.empty() || words[0].text[0] == '#') continue;
        const Word& number = words[0];
        if (words.size() != 2 || !IsDecimal(number.text)) return fail(number, "expected '<frame> <event>'");
        int frame = 0;
        if (!ParseWholeNumber(number.text, frame, 0, LastReplayFrame))
            return fail(number, "frame " + number.text + " is outside 0 to " + std::to_string(LastReplayFrame));
        if (!replay.steps.empty() && frame < replay.steps.back().frame)
            return fail(number, "frame " + number.text + " comes before the frame of the line above");
        const std::optional<ReplayEvent> event = EventNamed(words[1].text);
        if (!event) return fail(words[1], "unknown event " + Quoted(words[1].text));
        replay.steps.push_back({frame, *event});
        replay.listsTicks = replay.listsTicks || *event == ReplayEvent::Tick;
    }
    return replay;
}

bool SaveRecording(const Recording& recording, const std::string& path, std::string& error) {
    std::ofstream out(path);
    std::string cave = recording.caveFile.empty() ? "--cave " + std::to_string(recording.cave)
                                                  : "--cave-file " + recording.caveFile;
    if (recording.startLevel != 1) cave += " --start-level " + std::to_string(recording.startLevel);
    // A session left on the title has no game, and nothing to play again.
    if (recording.caveFile.empty() && recording.cave == 0)
        out << "# A session of kelvoro, recorded on screen: no game was started in it.\n";
    else
        out << "# A game of kelvoro, recorded on screen.\n"
            << "# Play it again with: kelvoro --headless " << cave << " --replay " << path << "\n";
    for (const ReplayStep& step : recording.replay.steps) out << step.frame << " " << NameOf(step.event) << "\n";
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
