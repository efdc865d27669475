// Start-up: the process-wide tables in their fixed order, the front end chosen by the command
// line, the engine, tablebases, transposition table and books, then the command loop.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "board/rays.h"
#include "board/zobrist.h"
#include "book/book.h"
#include "config/params.h"
#include "eval/network.h"
#include "protocol/table_settings.h"
#include "protocol/uci.h"
#include "protocol/xboard.h"
#include "search/engine.h"
#include "tools/self_tests.h"

// The front end lives until the process ends (and stays reachable for leak checkers).
static Protocol* FrontEnd = nullptr;

// The table at its configured size and the two books of the working folder.
static void LoadTableAndBooks(Engine* engine) {
  ResizeTableForHash(Hash.load());
  LoadBook(&engine->bookPair->mainBook, "tervik.book");
  LoadBook(&engine->bookPair->learnBook, "learn.book");
}

// -profile: the perft checks and the benchmark on the main thread, with the books of the
// working folder and without tablebases; standard input is never read.
static int RunProfile() {
  XBoardGUI* gui = new XBoardGUI();  // it creates the engine
  FrontEnd = gui;
  Engine* engine = gui->engine;
  engine->useTablebases = 0;
  LoadTableAndBooks(engine);
  StopSearch(engine);
  {
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    RunSelfTests(gui);
  }
  QuitEngine(engine);
  return 0;
}

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  // An interface that goes away is noticed as the end of input, not by a signal on output.
  std::signal(SIGPIPE, SIG_IGN);

  InitParams();
  InitZobristKeys();
  BuildRayLists();
  LoadNetwork(nnue_path);

  if (argc == 2 && std::strcmp(argv[1], "-profile") == 0) return RunProfile();
  if (argc == 2 && std::strcmp(argv[1], "-xboard") == 0) {
    FrontEnd = new XBoardGUI();  // it creates the engine
  } else {
    UciGUI* uci = new UciGUI();
    FrontEnd = uci;
    uci->engine = new Engine(uci);
    uci->ponderAllowed = 1;
    uci->multiPvCount = 1;
  }
  Engine* engine = FrontEnd->engine;

  InitTablebasesAtStartUp(engine);
  LoadTableAndBooks(engine);

  FrontEnd->run();
  return 0;
}
