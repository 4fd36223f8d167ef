// The page's one script: the colour and settings part, then the log part. The
// same script, run in a worker made of its text, is the log part's reading.

import { startLogPart } from "./logpage.js";
import { setWorkerScript, startReadingWorker } from "./logworker.js";
import { startColourPart } from "./page.js";

if (typeof document === "undefined") {
  startReadingWorker();
} else {
  // The script is the current one only while it first runs.
  setWorkerScript(document.currentScript?.textContent ?? null);
  startColourPart();
  startLogPart();
}
