// Validates .glb files with the Khronos glTF validator: node validate_glb.js <install dir> <file>...
// Prints every issue and one summary line per file; exits 1 when any file has errors.
const fs = require('fs');
const path = require('path');
const validator = require(path.join(process.argv[2], 'node_modules', 'gltf-validator'));

(async () => {
  let failed = false;
  for (const file of process.argv.slice(3)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {maxIssues: 0});
    for (const m of report.issues.messages) {
      console.log(`${path.basename(file)}: ${['error', 'warning', 'info', 'hint'][m.severity]} ${m.code} ${m.pointer || ''} ${m.message}`);
    }
    const i = report.issues;
    console.log(`${path.basename(file)}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos, ${i.numHints} hints`);
    if (i.numErrors > 0) failed = true;
  }
  process.exit(failed ? 1 : 0);
})().catch((e) => { console.log(String(e)); process.exit(2); });
