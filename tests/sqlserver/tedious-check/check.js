// Logs in to the TDS test server with tedious, creates a table with every result type the
// server sends, reads it back and prints name=JSON lines; then tries a wrong password.
'use strict';
const { Connection, Request } = require('tedious');

const config = (password) => ({
  server: process.env.TDS_HOST,
  authentication: { type: 'default', options: { userName: process.env.TDS_USER, password } },
  options: { port: Number(process.env.TDS_PORT), encrypt: false, trustServerCertificate: true,
             database: 'master', rowCollectionOnDone: false },
});

function connect(password) {
  return new Promise((resolve, reject) => {
    const c = new Connection(config(password));
    c.on('connect', (err) => (err ? reject(err) : resolve(c)));
    c.connect();
  });
}

// A plain SQL batch, or with `rpc` an sp_executesql call (tedious's execSql).
function run(c, sql, onRow, rpc = false) {
  return new Promise((resolve, reject) => {
    const r = new Request(sql, (err) => (err ? reject(err) : resolve()));
    if (onRow) r.on('row', onRow);
    if (rpc) c.execSql(r); else c.execSqlBatch(r);
  });
}

async function main() {
  const db = process.env.TDS_DATABASE;
  const c = await connect(process.env.TDS_PASSWORD);
  console.log('');
  await run(c, `CREATE DATABASE [${db}]`);
  await run(c, `USE [${db}]`);
  await run(c, 'CREATE TABLE t (i INT, b BIGINT, d DECIMAL(10, 2), f FLOAT, n NVARCHAR(20), ' +
               'v VARBINARY(8), t DATETIME, x BIT, nul INT, c VARCHAR(10), nt NTEXT, im IMAGE, ' +
               'sd SMALLDATETIME, r REAL, ti TINYINT)');
  await run(c, "INSERT INTO t VALUES(42, 9007199254740993, -12.5, 1e20, N'Grüße 😀', 0x00FF10, " +
               "'2004-05-06T12:34:56.123', 1, NULL, N'Größe €', N'lang 😀', 0xCAFE, " +
               "'2004-05-06 12:34:31', 0.5, 255)");
  await run(c, 'SELECT * FROM t', (columns) => {
    for (const col of columns) {
      let v = col.value;
      if (Buffer.isBuffer(v)) v = v.toString('hex');
      console.log(`${col.metadata.colName}=${JSON.stringify(v)}`);
    }
  });
  // The types of SQL Server 2008 and later: TDS 7.3 date types (DATETIMEOFFSET as the Date of its
  // instant in UTC) and PLP streams.
  await run(c, 'CREATE TABLE w (dt2 DATETIME2(3), dd DATE, tm TIME(7), nm NVARCHAR(MAX), ' +
               'bm VARBINARY(MAX), nmnull NVARCHAR(MAX), dto DATETIMEOFFSET(3), dtow DATETIMEOFFSET(7))');
  await run(c, "INSERT INTO w VALUES('2004-05-06 12:34:56.789', '0001-01-01', '23:59:59.9999999', " +
               `N'${'ab'.repeat(4500)}😀', 0x${'c0ffee'.repeat(5000)}, NULL, ` +
               "'2024-10-27 02:30:00.123 +02:00', '2024-10-27T23:30:00.5-05:30')");
  await run(c, 'SELECT * FROM w', (columns) => {
    for (const col of columns) {
      let v = col.value;
      if (Buffer.isBuffer(v)) v = v.toString('hex');
      // Long values as their length and last characters.
      if (typeof v === 'string' && v.length > 100) v = `${v.length}:${v.slice(-6)}`;
      console.log(`${col.metadata.colName}=${JSON.stringify(v)}`);
    }
  });
  await run(c, 'SELECT COUNT(*) AS n FROM t', (columns) => console.log(`rpc=${columns[0].value}`), true);
  try {
    await run(c, 'SELECT * FROM missing_table', null, true);
  } catch (err) {
    console.log(`rpcerror=${err.number}`);
  }
  await run(c, 'USE master');
  await run(c, `DROP DATABASE [${db}]`);
  c.close();
  try {
    await connect(process.env.TDS_PASSWORD + 'x');
    console.log('badlogin=none');
  } catch (err) {
    console.log(`badlogin=${err.code} ${err.message}`);
  }
  console.log('done');
}

main().catch((err) => {
  console.log(`failed=${err.message}`);
  process.exit(1);
});
