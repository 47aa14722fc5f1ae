// read-junit2json.mjs MODULES SAMPLES EXPECTED: reads every JUnit record (*.xml) in SAMPLES with
// the npm package junit2json, installed in the folder MODULES (npm ci with this folder's
// package-lock.json), and checks each by the rules every record keeps and, for the samples
// EXPECTED names, against what they must hold. Prints each problem; exits 1 if any.
import { readFileSync, readdirSync, existsSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [modules, samples, expectedFile] = process.argv.slice(2);
// Installed in the build tree, not beside this script, where import would look.
const { parse } = await import(
  pathToFileURL(createRequire(resolve(modules, 'package.json')).resolve('junit2json')).href);
const expected = JSON.parse(readFileSync(expectedFile, 'utf8')).samples;

// UTC without a zone suffix, the form the JUnit schema CI servers read has.
const Timestamp = /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$/;
const Counts = ['tests', 'failures', 'errors', 'skipped'];
const problems = [];
const problem = (sample, text) => problems.push(`${sample}: ${text}`);
const show = (value) => JSON.stringify(value);

// junit2json reads a number wherever an attribute looks like one: a value is read back as text.
const text = (value) => (value === undefined ? undefined : String(value));
const properties = (element) =>
  Object.fromEntries((element.properties ?? []).map((p) => [p.name, text(p.value)]));
// ['failure' or 'error', its message], or null for a case that passed or was skipped.
const outcome = (testCase) => {
  for (const kind of ['failure', 'error'])
    if (testCase[kind]?.length) return [kind, text(testCase[kind][0].message)];
  return null;
};
const counts = (suite) => {
  const cases = suite.testcase ?? [];
  const kinds = cases.map((c) => outcome(c)?.[0]);
  return {
    tests: cases.length,
    failures: kinds.filter((k) => k === 'failure').length,
    errors: kinds.filter((k) => k === 'error').length,
    skipped: cases.filter((c) => c.skipped?.length).length,
  };
};
const isDuration = (time) => typeof time === 'number' && Number.isFinite(time) && time >= 0;

function checkRules(sample, root, suites) {
  const totals = Object.fromEntries(Counts.map((name) => [name, 0]));
  for (const suite of suites) {
    for (const [name, found] of Object.entries(counts(suite))) {
      totals[name] += found;
      if (suite[name] !== found)
        problem(sample, `suite ${show(suite.name)}: ${name}=${suite[name]} but ${found} elements`);
    }
    if (!Timestamp.test(suite.timestamp ?? ''))
      problem(sample, `timestamp ${show(suite.timestamp)} is not UTC date and time`);
    for (const time of [suite.time, ...(suite.testcase ?? []).map((c) => c.time)])
      if (!isDuration(time)) problem(sample, `time ${show(time)} is not a length of time`);
    for (const element of [suite, ...(suite.testcase ?? [])])
      for (const p of element.properties ?? [])
        if (!p.name || !(typeof p.value === 'string' || Number.isFinite(p.value)))
          problem(sample, `property ${show(p.name)} has no readable name or value`);
    for (const c of suite.testcase ?? [])
      if (outcome(c) && !outcome(c)[1])
        problem(sample, `case ${show(c.name)}: a ${outcome(c)[0]} without a message`);
  }
  if (root)
    for (const [name, total] of Object.entries(totals))
      if (root[name] !== total)
        problem(sample, `testsuites: ${name}=${root[name]} but ${total} in its suites`);
}

function checkExpected(sample, suites, want) {
  if (suites.length !== 1) return problem(sample, `${suites.length} suites, not one`);
  const [suite] = suites;
  for (const name of ['tests', 'failures', 'errors', 'skipped'])
    if (suite[name] !== want[name]) problem(sample, `${name} is ${suite[name]}, not ${want[name]}`);
  if (text(suite.name) !== want.suite) problem(sample, `suite ${show(suite.name)}`);
  const cases = suite.testcase ?? [];
  const names = cases.map((c) => text(c.name));
  if (show(names) !== show(want.cases.map((c) => c.name)))
    return problem(sample, `cases ${show(names)}`);
  const pairs = [[suite, want], ...cases.map((c, n) => [c, want.cases[n]])];
  for (const [element, wanted] of pairs) {
    const held = properties(element);
    for (const [name, value] of Object.entries(wanted.properties ?? {}))
      if (held[name] !== value)
        problem(sample, `property ${show(name)} is ${show(held[name])}, not ${show(value)}`);
  }
  cases.forEach((c, n) => {
    const wanted = want.cases[n];
    const kind = ['failure', 'error'].find((k) => k in wanted);
    const expectedOutcome = kind ? [kind, wanted[kind]] : null;
    if (show(outcome(c)) !== show(expectedOutcome))
      problem(sample, `case ${show(c.name)}: ${show(outcome(c))}, not ${show(expectedOutcome)}`);
  });
}

for (const name of Object.keys(expected))
  if (!existsSync(join(samples, `${name}.xml`))) problem(name, 'no record written');
const records = readdirSync(samples).filter((f) => f.endsWith('.xml')).sort();
for (const file of records) {
  const sample = file.replace(/\.xml$/, '');
  let read;
  try {
    read = await parse(readFileSync(join(samples, file), 'utf8'));
  } catch (error) {
    problem(sample, `cannot be read: ${error.message}`);
    continue;
  }
  // A <testsuites> root gives its suites; a lone <testsuite> is itself the one.
  const [root, suites] = read?.testsuite ? [read, read.testsuite] : [null, read ? [read] : []];
  checkRules(sample, root, suites);
  if (sample in expected) checkExpected(sample, suites, expected[sample]);
}
for (const each of problems) console.log(each);
console.log(`junit2json: ${records.length} records read, ${problems.length} problems`);
process.exit(problems.length || !records.length ? 1 : 0);
