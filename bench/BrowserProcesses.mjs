// The processes of a browser that a benchmark started: the browser and every
// process under it, found by their parents in /proc.
import { readFileSync, readdirSync } from "node:fs";

/** @param {number} browserPid @returns {string[]} */
export function processTree(browserPid) {
  const parents = new Map();
  for (const p of readdirSync("/proc").filter((name) => /^\d+$/.test(name))) {
    try {
      parents.set(p, readFileSync(`/proc/${p}/stat`, "utf8").split(") ")[1].split(" ")[1]);
    } catch {
      // gone meanwhile
    }
  }
  const found = [];
  const walk = (pid) => {
    found.push(pid);
    for (const [child, parent] of parents) if (parent === pid) walk(child);
  };
  walk(String(browserPid));
  return found;
}
