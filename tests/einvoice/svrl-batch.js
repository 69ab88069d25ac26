// Runs compiled schematron rules (an SEF file of xslt3) over several invoice
// files in one process and writes one SVRL report per file into a folder:
// starting the rules once per file takes far longer than running them.
// Usage: NODE_PATH=tools/node/node_modules node svrl-batch.js RULES.sef.json OUTDIR FILE...
'use strict';
const fs = require('fs');
const path = require('path');
const SaxonJS = require('saxon-js');

const [sef, outDir, ...files] = process.argv.slice(2);
if (!sef || !outDir || files.length === 0) {
    console.error('usage: svrl-batch.js RULES.sef.json OUTDIR FILE...');
    process.exit(2);
}
let failed = 0;
for (const file of files) {
    try {
        const result = SaxonJS.transform({
            stylesheetFileName: sef,
            sourceFileName: file,
            destination: 'serialized',
        }, 'sync');
        fs.writeFileSync(path.join(outDir, path.basename(file)), result.principalResult);
    } catch (e) {
        console.error(file + ': ' + e.message);
        failed = 1;
    }
}
process.exit(failed);
