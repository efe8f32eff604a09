-- The till's keyboard as a GEN6 host defines it: scan code -> POS function number.
create table if not exists tPosKeyDef(ScanCode integer, FuncValue text, KeyType text);
create table if not exists tPosKeyDefDetail(OrgCode text, PosNo text, ScanCode text, FuncValue text, KeyType text);
delete from tPosKeyDef;
delete from tPosKeyDefDetail;
insert into tPosKeyDef values (13, '110', '1');   -- Up / PageUp: previous row
insert into tPosKeyDef values (15, '111', '1');   -- Down / PageDown: next row
insert into tPosKeyDef values (12, '112', '1');   -- Left: tick or untick
insert into tPosKeyDef values (4,  '107', '1');   -- Escape: leave the dialog
insert into tPosKeyDef values (35, '115', '1');   -- F12 (the "total" key): pay
insert into tPosKeyDef values (24, '0',   '1');   -- F1: no function on this till
