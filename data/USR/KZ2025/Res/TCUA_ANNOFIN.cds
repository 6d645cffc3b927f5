{"format":"velcu-dataset","version":1,
"fields":[
{"name":"SCUAANNOFIN","type":"String","size":4}
],
"rows":[
["2025"]
]}
