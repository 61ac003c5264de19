// Validates .glb files with the Khronos glTF validator: node validate_glb.js <install dir> <file>...
// Prints every issue and one summary line per file; exits 1 when any file has errors.
const fs = require('fs');
const path = require('path');
const validator = require(path.join(process.argv[2], 'node_modules', 'gltf-validator'));
const severities = ['error', 'warning', 'info', 'hint'];

(async () => {
  let failed = false;
  for (const file of process.argv.slice(3)) {
    const issues = (await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {maxIssues: 0})).issues;
    for (const m of issues.messages) console.log(`${path.basename(file)}: ${severities[m.severity]} ${m.code} ${m.pointer || ''} ${m.message}`);
    console.log(`${path.basename(file)}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos, ${issues.numHints} hints`);
    failed = failed || issues.numErrors > 0;
  }
  process.exit(failed ? 1 : 0);
})().catch((e) => { console.log(String(e)); process.exit(2); });
