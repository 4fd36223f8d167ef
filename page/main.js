// The page's one script: the colour and settings part, then the log part.

import { startLogPart } from "./logpage.js";
import { startColourPart } from "./page.js";

startColourPart();
startLogPart();
